#include "TADOConnection.h"

#include <QSqlDriver>

#include <QSqlError>
#include <QSqlQuery>
#include <atomic>

#include "DbError.h"
#include "SqliteSupport.h"
#include "Translate.h"

using korvane::Tr;

namespace korvane::db {

namespace {
// Qt's registry of connections is one per process, while this library may be linked into
// several of its modules (and a test program beside them), each with a counter of its own: the
// counter's own address tells the copies apart.
QString NextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("korvane-%1-%2")
        .arg(reinterpret_cast<quintptr>(&counter), 0, 16)
        .arg(++counter);
}

QString BackendName(Backend b) {
    switch (b) {
        case Backend::Oracle:
            return QStringLiteral("Oracle");
        case Backend::SQLite:
            return QStringLiteral("SQLite");
        case Backend::PostgreSQL:
            return QStringLiteral("PostgreSQL");
        case Backend::Odbc:
            return QStringLiteral("ODBC");
    }
    return QString();
}
}  // namespace

TADOConnection::TADOConnection() : name_(NextConnectionName()) {}

TADOConnection::~TADOConnection() {
    Close();
    if (QSqlDatabase::contains(name_)) {
        QSqlDatabase::removeDatabase(name_);
    }
}

void TADOConnection::SetConnected(bool connected) {
    if (!connected) {
        Close();
        return;
    }
    if (Connected()) {
        return;
    }
    Open(MapConnectionString(connectionString_));
}

namespace {
Backend DialectOf(QSqlDriver::DbmsType dbms, Backend backend) {
    switch (dbms) {
        case QSqlDriver::PostgreSQL:
            return Backend::PostgreSQL;
        case QSqlDriver::SQLite:
            return Backend::SQLite;
        case QSqlDriver::Oracle:
            return Backend::Oracle;
        default:
            return backend;
    }
}
}  // namespace

void TADOConnection::Open(const ConnectionSpec& spec) {
    if (!QSqlDatabase::isDriverAvailable(spec.driver)) {
        throw DbError(Tr("korvane", "数据库驱动 %1 不可用（%2），请安装该驱动")
                          .arg(spec.driver, BackendName(spec.backend)));
    }
    if (spec.backend == Backend::SQLite) {
        CheckSqliteLocation(spec.databaseName, createMissing_);
    }
    if (QSqlDatabase::contains(name_)) {
        QSqlDatabase::removeDatabase(name_);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(spec.driver, name_);
    db.setDatabaseName(spec.backend == Backend::SQLite
                           ? SqliteOpenName(spec.databaseName, createMissing_)
                           : spec.databaseName);
    db.setUserName(spec.user);
    db.setPassword(spec.password);
    if (!spec.host.isEmpty()) {
        db.setHostName(spec.host);
    }
    if (spec.port > 0) {
        db.setPort(spec.port);
    }
    if (spec.backend == Backend::SQLite) {
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyTimeoutMs));
    } else if (spec.backend == Backend::PostgreSQL) {
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    }
    if (!db.open()) {
        const QString reason = db.lastError().text();
        throw DbError(Tr("korvane", "连接数据库失败（%1 %2）: %3")
                          .arg(BackendName(spec.backend), spec.databaseName, reason));
    }
    backend_ = spec.backend;
    dialect_ = DialectOf(db.driver()->dbmsType(), spec.backend);
    if (spec.backend == Backend::SQLite) {
        try {
            PrepareSqliteConnection(db, spec.databaseName);
        } catch (...) {
            db.close();
            throw;
        }
    } else if (dialect_ == Backend::PostgreSQL) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("set lock_timeout = %1").arg(kPostgresLockTimeoutMs))) {
            const QString reason = q.lastError().text();
            db.close();
            throw DbError(Tr("korvane", "连接数据库失败（设置锁等待时间）: %1").arg(reason));
        }
    }
}

bool TADOConnection::Connected() const {
    return QSqlDatabase::contains(name_) && QSqlDatabase::database(name_, false).isOpen();
}

void TADOConnection::Close() {
    inTransaction_ = false;  // the database ends what closing the connection leaves open
    if (QSqlDatabase::contains(name_)) {
        QSqlDatabase::database(name_, false).close();
    }
}

QSqlDatabase TADOConnection::Database() const {
    return QSqlDatabase::database(name_, false);
}

namespace {
// SQLite's statements where Qt's driver would say a plain BEGIN, which takes the write lock only
// at the first write and may then fail at once instead of waiting.
void ExecSqlite(QSqlDatabase db, const char* sql) {
    QSqlQuery q(db);
    if (!q.exec(QString::fromLatin1(sql))) {
        throw DbError(Tr("korvane", "%1 失败: %2").arg(QLatin1String(sql), q.lastError().text()));
    }
}
}  // namespace

void TADOConnection::BeginTransaction() {
    if (!Connected()) {
        throw DbError(Tr("korvane", "数据库未连接"));
    }
    if (inTransaction_) {
        throw DbError(Tr("korvane", "上一个事务尚未结束"));
    }
    QSqlDatabase db = Database();
    if (backend_ == Backend::SQLite) {
        ExecSqlite(db, "begin immediate");
    } else if (!db.transaction()) {
        throw DbError(Tr("korvane", "开始事务失败: %1").arg(db.lastError().text()));
    }
    inTransaction_ = true;
}

void TADOConnection::Commit() {
    if (!inTransaction_) {
        throw DbError(Tr("korvane", "没有可提交的事务"));
    }
    inTransaction_ = false;  // a failed commit ends the transaction too
    QSqlDatabase db = Database();
    if (backend_ == Backend::SQLite) {
        try {
            ExecSqlite(db, "commit");
        } catch (const DbError&) {
            QSqlQuery(db).exec(QStringLiteral("rollback"));
            throw;
        }
    } else if (!db.commit()) {
        const QString reason = db.lastError().text();
        db.rollback();
        throw DbError(Tr("korvane", "提交事务失败: %1").arg(reason));
    }
}

void TADOConnection::Rollback() {
    if (!inTransaction_) {
        return;
    }
    inTransaction_ = false;
    QSqlDatabase db = Database();
    if (backend_ == Backend::SQLite) {
        ExecSqlite(db, "rollback");
    } else if (!db.rollback()) {
        throw DbError(Tr("korvane", "回滚事务失败: %1").arg(db.lastError().text()));
    }
}

}  // namespace korvane::db
