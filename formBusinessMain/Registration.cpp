#include "Registration.h"

#include <QSqlDatabase>
#include <QSqlError>

#include "SqlRunner.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

namespace korvane {

namespace {
QString Unsaved(const QString& reason) {
    return QStringLiteral("数据保存失败，上传已撤销，服务器上的文件未改变！") +
           (reason.isEmpty() ? QString() : u'\n' + reason);
}
}  // namespace

Registration::Registration(db::TADOConnection& connection, db::TADOQuery& query,
                           QString insertStatement)
    : connection_(connection), query_(query), insert_(std::move(insertStatement)) {}

Registration::~Registration() {
    Rollback();
}

QString Registration::Register(const CFTPClient::StoredCopy&) {
    QSqlDatabase db = connection_.Database();
    if (!db.isOpen() || !db.transaction()) {
        return Unsaved(db.isOpen() ? db.lastError().text() : QStringLiteral("数据库未连接"));
    }
    open_ = true;
    QString reason;
    if (!TryRunSQL(query_, insert_, &reason)) {
        return Unsaved(reason);
    }
    return QString();
}

QString Registration::Commit() {
    QSqlDatabase db = connection_.Database();
    open_ = false;
    if (db.commit()) {
        return QString();
    }
    const QString reason = db.lastError().text();
    db.rollback();
    return QStringLiteral("文件已上传，但数据保存失败，该文件未登记！请联系系统管理员。\n") +
           reason;
}

void Registration::Rollback() {
    if (open_) {
        open_ = false;
        connection_.Database().rollback();
    }
}

}  // namespace korvane
