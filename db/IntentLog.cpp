#include "IntentLog.h"

#include <QDateTime>

#include "DbError.h"
#include "SqlDialect.h"
#include "SqlScript.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

namespace korvane::db {

namespace {

QString Q(const QString& text) {
    return QuotedSql(text);
}

QString N(int64_t value) {
    return QString::number(value);
}

// null for an empty text, so that a missing value reads back as missing.
QString QOrNull(const QString& text) {
    return text.isEmpty() ? QStringLiteral("null") : Q(text);
}

const char* PhaseText(Intent::Phase phase) {
    switch (phase) {
        case Intent::Phase::Put:
            return "put";
        case Intent::Phase::Publish:
            return "publish";
        case Intent::Phase::Collect:
            return "collect";
        case Intent::Phase::Held:
            return "held";
    }
    return "put";
}

Intent::Phase PhaseOf(const QString& text) {
    if (text == u"publish") {
        return Intent::Phase::Publish;
    }
    if (text == u"held") {
        return Intent::Phase::Held;
    }
    return text == u"collect" ? Intent::Phase::Collect : Intent::Phase::Put;
}

QString TablesStatement(Backend dialect) {
    switch (dialect) {
        case Backend::SQLite:
            return QStringLiteral(
                "select count(*) as n from zy.sqlite_master where type='table' and name in "
                "('res_download_intent','res_download_version')");
        case Backend::PostgreSQL:
            return QStringLiteral(
                "select count(*) as n from information_schema.tables where table_schema='zy' "
                "and table_name in ('res_download_intent','res_download_version')");
        case Backend::Oracle:
            return QStringLiteral(
                "select count(*) as n from all_tables where owner='ZY' and table_name in "
                "('RES_DOWNLOAD_INTENT','RES_DOWNLOAD_VERSION')");
        case Backend::Odbc:
            break;
    }
    return QString();
}

QString NowStatement(Backend dialect) {
    switch (dialect) {
        case Backend::SQLite:
            return QStringLiteral("select cast(strftime('%s','now') as integer) as n");
        case Backend::PostgreSQL:
            return QStringLiteral("select cast(extract(epoch from now()) as bigint) as n");
        case Backend::Oracle:
            return QStringLiteral(
                "select round((sysdate - date '1970-01-01') * 86400) as n from dual");
        case Backend::Odbc:
            break;
    }
    return QString();
}

const QString kIntentColumns = QStringLiteral(
    "intent_token,file_name,phase,temp_name,temp_size,temp_sha256,aside_name,op_id,host,created");

}  // namespace

IntentLog::IntentLog(TADOQuery& query) : query_(query) {}

bool IntentLog::Available() {
    if (!available_) {
        const QString sql = TablesStatement(query_.Connection().Dialect());
        bool found = false;
        if (!sql.isEmpty()) {
            OpenStatement(query_, sql);
            found = query_.FieldAsInteger(QStringLiteral("n")) == 2;
            query_.Close();
        }
        available_ = found;
    }
    return *available_;
}

void IntentLog::Announce(const Intent& intent) {
    ExecStatement(
        query_, QStringLiteral("insert into zy.res_download_intent(") + kIntentColumns +
                    QStringLiteral(") values(") + Q(intent.token) + u',' + Q(intent.name) + u',' +
                    Q(QString::fromLatin1(PhaseText(intent.phase))) + u',' + QOrNull(intent.temp) +
                    u',' + (intent.tempSize < 0 ? QStringLiteral("null") : N(intent.tempSize)) +
                    u',' + QOrNull(intent.tempSha) + u',' + QOrNull(intent.aside) + u',' +
                    N(intent.opId) + u',' + Q(intent.host) + u',' + N(intent.created) + u')');
}

void IntentLog::Update(const Intent& intent) {
    ExecStatement(query_, QStringLiteral("update zy.res_download_intent set phase=") +
                              Q(QString::fromLatin1(PhaseText(intent.phase))) +
                              QStringLiteral(",temp_size=") +
                              (intent.tempSize < 0 ? QStringLiteral("null") : N(intent.tempSize)) +
                              QStringLiteral(",temp_sha256=") + QOrNull(intent.tempSha) +
                              QStringLiteral(",aside_name=") + QOrNull(intent.aside) +
                              QStringLiteral(",created=") + N(intent.created) +
                              QStringLiteral(" where intent_token=") + Q(intent.token));
    if (query_.RowsAffected() == 0) {
        throw DbError(QStringLiteral("intent %1 is gone").arg(intent.token));
    }
}

void IntentLog::Clear(const QString& token) {
    ExecStatement(query_, QStringLiteral("delete from zy.res_download_intent where intent_token=") +
                              Q(token));
}

QList<Intent> IntentLog::Intents(const QString& condition) {
    OpenStatement(query_, QStringLiteral("select ") + kIntentColumns +
                              QStringLiteral(" from zy.res_download_intent") + condition +
                              QStringLiteral(" order by created,intent_token"));
    QList<Intent> out;
    for (; !query_.Eof(); query_.Next()) {
        Intent i;
        i.token = query_.FieldAsString(QStringLiteral("intent_token"));
        i.name = query_.FieldAsString(QStringLiteral("file_name"));
        i.phase = PhaseOf(query_.FieldAsString(QStringLiteral("phase")).trimmed());
        i.temp = query_.FieldAsString(QStringLiteral("temp_name"));
        i.tempSize = query_.FieldIsNull(QStringLiteral("temp_size"))
                         ? -1
                         : query_.FieldAsInt64(QStringLiteral("temp_size"));
        i.tempSha = query_.FieldAsString(QStringLiteral("temp_sha256")).trimmed();
        i.aside = query_.FieldAsString(QStringLiteral("aside_name"));
        i.opId = query_.FieldAsInteger(QStringLiteral("op_id"));
        i.host = query_.FieldAsString(QStringLiteral("host"));
        i.created = query_.FieldAsInt64(QStringLiteral("created"));
        out.append(i);
    }
    query_.Close();
    return out;
}

QList<Intent> IntentLog::Open(const QString& name) {
    return Intents(name.isEmpty() ? QString() : QStringLiteral(" where file_name=") + Q(name));
}

QList<Version> IntentLog::Versions(const QString& name) {
    OpenStatement(query_,
                  QStringLiteral("select version_no,store_name,file_size,sha256,stored_op,since "
                                 "from zy.res_download_version where file_name=") +
                      Q(name) + QStringLiteral(" order by version_no"));
    QList<Version> out;
    for (; !query_.Eof(); query_.Next()) {
        Version v;
        v.name = name;
        v.number = query_.FieldAsInteger(QStringLiteral("version_no"));
        v.storeName = query_.FieldAsString(QStringLiteral("store_name"));
        v.size = query_.FieldAsInt64(QStringLiteral("file_size"));
        v.sha256 = query_.FieldAsString(QStringLiteral("sha256")).trimmed();
        v.opId = query_.FieldAsInteger(QStringLiteral("stored_op"));
        v.since = query_.FieldAsString(QStringLiteral("since")).trimmed();
        out.append(v);
    }
    query_.Close();
    return out;
}

std::optional<Version> IntentLog::VersionFor(const QString& name, const QString& createDate) {
    std::optional<Version> found;
    for (const Version& v : Versions(name)) {
        if (v.since <= createDate) {  // the text of one format orders as the times do
            found = v;
        }
    }
    return found;
}

void IntentLog::AddVersion(const Version& v) {
    ExecStatement(query_, QStringLiteral("insert into zy.res_download_version(file_name,version_no,"
                                         "store_name,file_size,sha256,stored_op,since) values(") +
                              Q(v.name) + u',' + N(v.number) + u',' + Q(v.storeName) + u',' +
                              N(v.size) + u',' + QOrNull(v.sha256) + u',' + N(v.opId) + u',' +
                              // Oracle stores '' as null: a blank keeps the column's not null.
                              Q(v.since.isEmpty() ? QStringLiteral(" ") : v.since) + u')');
}

void IntentLog::MoveVersion(const QString& name, int number, const QString& storeName) {
    ExecStatement(query_, QStringLiteral("update zy.res_download_version set store_name=") +
                              Q(storeName) + QStringLiteral(" where file_name=") + Q(name) +
                              QStringLiteral(" and version_no=") + N(number));
}

void IntentLog::DropVersion(const QString& name, int number) {
    ExecStatement(query_, QStringLiteral("delete from zy.res_download_version where file_name=") +
                              Q(name) + QStringLiteral(" and version_no=") + N(number));
}

QSet<QString> IntentLog::Referenced() {
    QSet<QString> names;
    const auto collect = [&](const QString& sql) {
        OpenStatement(query_, sql);
        for (; !query_.Eof(); query_.Next()) {
            names.insert(query_.FieldAsString(0));
        }
        query_.Close();
    };
    collect(QStringLiteral("select distinct down_path from zy.res_download_path"));
    collect(QStringLiteral("select file_name from zy.res_download_file"));
    collect(QStringLiteral("select store_name from zy.res_download_version"));
    for (const Intent& i : Open()) {
        names.insert(i.name);
        for (const QString& n : {i.temp, i.aside}) {
            if (!n.isEmpty()) {
                names.insert(n);
            }
        }
    }
    return names;
}

QString IntentLog::VersionName(const QString& name, int number) {
    return name + QStringLiteral(".~%1~").arg(number);
}

int64_t DatabaseNow(TADOQuery& query) {
    const QString sql = NowStatement(query.Connection().Dialect());
    if (sql.isEmpty()) {
        return QDateTime::currentSecsSinceEpoch();
    }
    OpenStatement(query, sql);
    const int64_t now = query.FieldAsInt64(QStringLiteral("n"));
    query.Close();
    return now;
}

}  // namespace korvane::db
