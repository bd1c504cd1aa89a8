#include "TADOQuery.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <cmath>
#include <limits>

#include "DbError.h"
#include "SqlDialect.h"
#include "TADOConnection.h"
#include "Translate.h"

using korvane::Tr;

namespace korvane::db {

void CheckStatementText(const QString& sql, const TADOConnection& connection) {
    // A NUL would end the text early in the C drivers beneath: a literal cut in two.
    if (sql.contains(QChar(0))) {
        throw DbError(Tr("korvane", "语句中含有空字符（NUL），不能执行"));
    }
    if (connection.ReadsBackslashEscapes() && sql.contains(u'\\')) {
        throw DbError(
            Tr("korvane", "该数据库把反斜杠（\\）当作转义符，语句中不能含有反斜杠，请去掉后再试"));
    }
}

TADOQuery::TADOQuery(TADOConnection& connection) : connection_(connection) {}

TADOQuery::~TADOQuery() = default;

void TADOQuery::Close() {
    query_.reset();
    record_.clear();
    active_ = false;
    eof_ = true;
    recordCount_ = -1;
}

void TADOQuery::ClearSQL() {
    lines_.clear();
}

void TADOQuery::AddSQL(const QString& line) {
    lines_.append(line);
}

void TADOQuery::Open() {
    Run(true);
}

void TADOQuery::ExecSQL() {
    Run(false);
}

namespace {
// The database's reason, and for a bound that ran out one that says so.
// A failure after the whole bound is taken for the bound too: ODBC drivers report no SQLSTATE.
QString Reason(const QSqlError& error, const TADOConnection& connection, qint64 tookMs) {
    const QString code = error.nativeErrorCode();
    const int seconds = connection.TimeoutSeconds();
    if (connection.CurrentBackend() == Backend::SQLite && (code == u"5" || code == u"6")) {
        return Tr("korvane", "数据库忙：另一个程序正在使用数据库，已等待%1秒，请稍后再试。")
            .arg(seconds);
    }
    if ((connection.Dialect() == Backend::PostgreSQL && (code == u"57014" || code == u"55P03")) ||
        tookMs >= seconds * 1000 - 50) {
        return Tr("korvane", "数据库忙：该操作在%1秒内没有完成，请稍后再试。（%2）")
            .arg(seconds)
            .arg(error.text());
    }
    return error.text();
}
}  // namespace

void TADOQuery::Run(bool withRows) {
    Close();
    connection_.EnsureOpen();
    // A statement that changes rows runs only on a connection known to work: run again after a
    // reconnect it might have committed twice, but on a connection found gone beforehand it
    // certainly has not run.
    if (!withRows && !connection_.InTransaction()) {
        connection_.Revive();
    }
    const QString sql = BridgeSql(SQLText(), connection_.Dialect());
    CheckStatementText(sql, connection_);
    rowsAffected_ = -1;
    // Scrollable so the record count can be taken on drivers that do not report a size.
    const bool forwardOnly = forwardOnly_ && withRows;
    forwardOnly_ = false;
    auto query = std::make_unique<QSqlQuery>(connection_.Database());
    query->setForwardOnly(forwardOnly);
    QElapsedTimer took;
    took.start();
    if (!query->exec(sql)) {
        const QString reason = Reason(query->lastError(), connection_, took.elapsed());
        query.reset();
        // A query may run again on a new connection: it changes nothing.
        if (!withRows || connection_.InTransaction() || !connection_.Revive()) {
            throw DbError(reason);
        }
        query = std::make_unique<QSqlQuery>(connection_.Database());
        query->setForwardOnly(forwardOnly);
        took.start();
        if (!query->exec(sql)) {
            throw DbError(Reason(query->lastError(), connection_, took.elapsed()));
        }
    }
    if (!withRows) {
        rowsAffected_ = query->numRowsAffected();
        return;
    }
    if (!query->isSelect()) {
        throw DbError(Tr("korvane", "语句没有返回结果集"));
    }
    record_ = query->record();
    eof_ = !query->first();
    active_ = true;
    query_ = std::move(query);
}

bool TADOQuery::Eof() const {
    return !active_ || eof_;
}

void TADOQuery::Next() {
    if (!active_) {
        throw DbError(Tr("korvane", "查询没有打开的结果集"));
    }
    if (!eof_) {
        eof_ = !query_->next();
    }
}

QVariant TADOQuery::FieldValue(const QString& name) const {
    return FieldValue(record_.indexOf(name), name);
}

QVariant TADOQuery::FieldValue(int index, const QString& name) const {
    if (!active_ || eof_) {
        throw DbError(Tr("korvane", "没有当前记录，不能读取字段 %1").arg(name));
    }
    if (index < 0 || index >= record_.count()) {
        throw DbError(Tr("korvane", "结果集中没有字段 %1").arg(name));
    }
    return query_->value(index);
}

QString TADOQuery::FieldAsString(const QString& name) const {
    return AsString(FieldValue(name));
}

QString TADOQuery::FieldAsString(int index) const {
    return AsString(FieldValue(index, record_.fieldName(index)));
}

QString TADOQuery::AsString(const QVariant& v) {
    if (v.isNull()) {
        return QString();
    }
    switch (v.typeId()) {
        case QMetaType::QDateTime:
            return v.toDateTime().toString(QLatin1String(kDateTimeFormat));
        case QMetaType::QDate:
            return v.toDate().startOfDay().toString(QLatin1String(kDateTimeFormat));
        case QMetaType::Double:
            return QString::number(v.toDouble(), 'g', 15);
        default:
            return v.toString();
    }
}

int32_t TADOQuery::FieldAsInteger(const QString& name) const {
    const QVariant v = FieldValue(name);
    if (v.isNull()) {
        return 0;
    }
    bool ok = false;
    const qlonglong value = v.toLongLong(&ok);
    if (!ok) {
        throw DbError(Tr("korvane", "字段 %1 的值 \"%2\" 不是整数").arg(name, v.toString()));
    }
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
        throw DbError(Tr("korvane", "字段 %1 的值 %2 超出 32 位整数范围").arg(name).arg(value));
    }
    return static_cast<int32_t>(value);
}

int64_t TADOQuery::FieldAsInt64(const QString& name) const {
    const QVariant v = FieldValue(name);
    if (v.isNull()) {
        return 0;
    }
    bool ok = false;
    qlonglong value = 0;
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        ok = d == std::trunc(d) && std::fabs(d) < 9.2e18;
        value = ok ? static_cast<qlonglong>(d) : 0;
    } else {
        value = v.toLongLong(&ok);
    }
    if (!ok) {
        throw DbError(Tr("korvane", "字段 %1 的值 \"%2\" 不是整数").arg(name, v.toString()));
    }
    return value;
}

bool TADOQuery::FieldIsNull(const QString& name) const {
    return FieldValue(name).isNull();
}

int TADOQuery::RecordCount() {
    if (!active_) {
        throw DbError(Tr("korvane", "查询没有打开的结果集"));
    }
    if (recordCount_ >= 0) {
        return recordCount_;
    }
    if (connection_.Database().driver()->hasFeature(QSqlDriver::QuerySize)) {
        recordCount_ = query_->size();
        return recordCount_;
    }
    if (query_->isForwardOnly()) {
        throw DbError(Tr("korvane", "只向前读取的结果集不能计数"));
    }
    const int here = query_->at();
    recordCount_ = query_->last() ? query_->at() + 1 : 0;
    // Return to where the caller was; past the end stays past the end.
    if (here >= 0) {
        query_->seek(here);
    } else if (here == QSql::AfterLastRow) {
        query_->next();
    }
    return recordCount_;
}

}  // namespace korvane::db
