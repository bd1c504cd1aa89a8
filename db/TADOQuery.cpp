#include "TADOQuery.h"

#include <QDateTime>
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

void TADOQuery::Run(bool withRows) {
    Close();
    if (!connection_.Connected()) {
        throw DbError(Tr("korvane", "数据库未连接"));
    }
    auto query = std::make_unique<QSqlQuery>(connection_.Database());
    // Scrollable so the record count can be taken on drivers that do not report a size.
    query->setForwardOnly(forwardOnly_ && withRows);
    forwardOnly_ = false;
    const QString sql = BridgeSql(SQLText(), connection_.Dialect());
    rowsAffected_ = -1;
    if (!query->exec(sql)) {
        throw DbError(query->lastError().text());
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
            return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        case QMetaType::QDate:
            return v.toDate().startOfDay().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
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
