#include "FileRecord.h"

#include <QLoggingCategory>
#include <QRandomGenerator>

#include "DbError.h"
#include "SqlDialect.h"
#include "SqlScript.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "Translate.h"

using korvane::Tr;

namespace korvane::db {

namespace {

const QLoggingCategory& DbLog() {
    static const QLoggingCategory category("korvane.db");
    return category;
}

QString Q(const QString& text) {
    return QuotedSql(text);
}

QString N(int64_t value) {
    return QString::number(value);
}

const QString& Table() {
    static const QString name = QStringLiteral("zy.res_download_file");
    return name;
}

// A catalogue question that answers 0 or 1 rather than failing, so that it neither ends a
// PostgreSQL transaction nor needs the table.
QString ExistsStatement(Backend dialect) {
    switch (dialect) {
        case Backend::SQLite:
            return QStringLiteral(
                "select count(*) as n from zy.sqlite_master where type='table' and "
                "name='res_download_file'");
        case Backend::PostgreSQL:
            return QStringLiteral(
                "select count(*) as n from information_schema.tables where table_schema='zy' "
                "and table_name='res_download_file'");
        case Backend::Oracle:
            return QStringLiteral(
                "select count(*) as n from all_tables where owner='ZY' and "
                "table_name='RES_DOWNLOAD_FILE'");
        case Backend::Odbc:
            break;
    }
    return QString();
}

const int kClaimAttempts = 3;

}  // namespace

FileRecord::FileRecord(TADOQuery& query) : query_(query) {}

void FileRecord::Exec(const QString& sql) {
    ExecStatement(query_, sql);
}

bool FileRecord::Available() {
    if (available_) {
        return *available_;
    }
    const QString sql = ExistsStatement(query_.Connection().Dialect());
    bool found = false;
    if (sql.isEmpty()) {
        // A database of unknown kind: the table's own answer (outside a transaction).
        try {
            OpenStatement(query_, QStringLiteral("select count(*) as n from ") + Table() +
                                      QStringLiteral(" where 1=0"));
            found = true;
        } catch (const DbError&) {
            found = false;
        }
    } else {
        OpenStatement(query_, sql);
        found = query_.FieldAsInteger(QStringLiteral("n")) > 0;
    }
    query_.Close();
    available_ = found;
    if (!found) {
        // A database made before 1.2: the site learns what to run in the log it collects.
        qCWarning(DbLog, "%s",
                  qUtf8Printable(Tr("korvane",
                                    "数据库早于 1.2 版，没有表 zy.res_download_file：请运行一次 "
                                    "korvane-dbtool --conn \"<连接字符串>\" --upgrade。在此之前"
                                    "上传的文件不记录大小和摘要，同名上传也不互相排斥。")));
    }
    return found;
}

QList<StoredFile> FileRecord::Files(const QString& condition) {
    QList<StoredFile> files;
    OpenStatement(query_, QStringLiteral("select file_name,file_size,sha256,stored_op,stored_host,"
                                         "stored_at from ") +
                              Table() + QStringLiteral(" where sha256 is not null") + condition +
                              QStringLiteral(" order by file_name"));
    for (; !query_.Eof(); query_.Next()) {
        StoredFile f;
        f.name = query_.FieldAsString(QStringLiteral("file_name"));
        f.size = query_.FieldAsInt64(QStringLiteral("file_size"));
        f.sha256 = query_.FieldAsString(QStringLiteral("sha256")).trimmed();
        f.opId = query_.FieldAsInteger(QStringLiteral("stored_op"));
        f.host = query_.FieldAsString(QStringLiteral("stored_host"));
        f.storedAt = query_.FieldAsString(QStringLiteral("stored_at"));
        files.append(f);
    }
    query_.Close();
    return files;
}

std::optional<StoredFile> FileRecord::Current(const QString& name) {
    if (!Available()) {
        return std::nullopt;
    }
    const QList<StoredFile> files = Files(QStringLiteral(" and file_name=") + Q(name));
    if (files.isEmpty()) {
        return std::nullopt;
    }
    return files.first();
}

QList<StoredFile> FileRecord::All() {
    return Available() ? Files(QString()) : QList<StoredFile>();
}

// The row's claim: nullopt without a row; a claim with an empty token when the row has none.
std::optional<UploadClaim> FileRecord::Holder(const QString& name) {
    OpenStatement(query_,
                  QStringLiteral("select claim_token,claim_op,claim_host,claim_since,claim_seen "
                                 "from ") +
                      Table() + QStringLiteral(" where file_name=") + Q(name));
    std::optional<UploadClaim> claim;
    if (!query_.Eof()) {
        claim = UploadClaim{query_.FieldAsString(QStringLiteral("claim_token")),
                            query_.FieldAsInteger(QStringLiteral("claim_op")),
                            query_.FieldAsString(QStringLiteral("claim_host")),
                            query_.FieldAsInt64(QStringLiteral("claim_since")),
                            query_.FieldAsInt64(QStringLiteral("claim_seen"))};
    }
    query_.Close();
    return claim;
}

FileRecord::ClaimResult FileRecord::Claim(const QString& name, const UploadClaim& mine,
                                          int expireSeconds, UploadClaim* holder) {
    if (!Available()) {
        return ClaimResult::Unavailable;
    }
    const int64_t expired = mine.seenEpoch - expireSeconds;
    const QString values = QStringLiteral("claim_token=") + Q(mine.token) +
                           QStringLiteral(",claim_op=") + N(mine.opId) +
                           QStringLiteral(",claim_host=") + Q(mine.host) +
                           QStringLiteral(",claim_since=") + N(mine.sinceEpoch) +
                           QStringLiteral(",claim_seen=") + N(mine.seenEpoch);
    std::optional<UploadClaim> last;
    for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
        // Free, mine already, or left by an upload that stopped giving signs of life.
        Exec(QStringLiteral("update ") + Table() + QStringLiteral(" set ") + values +
             QStringLiteral(" where file_name=") + Q(name) +
             QStringLiteral(" and (claim_token is null or claim_token=") + Q(mine.token) +
             QStringLiteral(" or claim_seen<") + N(expired) + u')');
        if (query_.RowsAffected() > 0) {
            return ClaimResult::Claimed;
        }
        try {
            Exec(QStringLiteral("insert into ") + Table() +
                 QStringLiteral("(file_name,claim_token,claim_op,claim_host,claim_since,"
                                "claim_seen) values(") +
                 Q(name) + u',' + Q(mine.token) + u',' + N(mine.opId) + u',' + Q(mine.host) + u',' +
                 N(mine.sinceEpoch) + u',' + N(mine.seenEpoch) + u')');
            return ClaimResult::Claimed;
        } catch (const DbError&) {
            // The key refused it (another upload got there first), or the database did.
            last = Holder(name);
            if (!last) {
                throw;
            }
        }
        if (last->token == mine.token) {
            return ClaimResult::Claimed;
        }
        if (!last->token.isEmpty() && last->seenEpoch >= expired) {
            break;
        }
        // Released or expired meanwhile: try again.
    }
    if (holder != nullptr && last) {
        *holder = *last;
    }
    return ClaimResult::Busy;
}

bool FileRecord::Touch(const QString& name, const QString& token, int64_t nowEpoch) {
    if (!Available()) {
        return true;
    }
    Exec(QStringLiteral("update ") + Table() + QStringLiteral(" set claim_seen=") + N(nowEpoch) +
         QStringLiteral(" where file_name=") + Q(name) + QStringLiteral(" and claim_token=") +
         Q(token));
    return query_.RowsAffected() != 0;
}

void FileRecord::Release(const QString& name, const QString& token) {
    if (!Available()) {
        return;
    }
    const QString mine = QStringLiteral(" where file_name=") + Q(name) +
                         QStringLiteral(" and claim_token=") + Q(token);
    Exec(QStringLiteral("delete from ") + Table() + mine + QStringLiteral(" and sha256 is null"));
    Exec(QStringLiteral("update ") + Table() +
         QStringLiteral(" set claim_token=null,claim_op=null,claim_host=null,claim_since=null,"
                        "claim_seen=null") +
         mine);
}

void FileRecord::Record(const StoredFile& file, const QString& token) {
    if (!Available()) {
        return;
    }
    Exec(QStringLiteral("update ") + Table() + QStringLiteral(" set file_size=") + N(file.size) +
         QStringLiteral(",sha256=") + Q(file.sha256) + QStringLiteral(",stored_op=") +
         N(file.opId) + QStringLiteral(",stored_host=") + Q(file.host) +
         QStringLiteral(",stored_at=sysdate,claim_token=null,claim_op=null,claim_host=null,"
                        "claim_since=null,claim_seen=null where file_name=") +
         Q(file.name) + QStringLiteral(" and claim_token=") + Q(token));
    if (query_.RowsAffected() == 0) {
        throw DbError(
            Tr("korvane", "文件[%1]的上传占用已失效（已被另一次上传接管），本次上传未登记")
                .arg(file.name));
    }
}

QString FileRecord::NewToken() {
    QString token;
    for (int i = 0; i < 4; ++i) {
        token += QStringLiteral("%1").arg(
            static_cast<qulonglong>(QRandomGenerator::system()->generate()), 8, 16, QChar(u'0'));
    }
    return token;
}

}  // namespace korvane::db
