#include "TADOConnection.h"

#include <QSqlDriver>

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
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

// Backends whose string literals take a backslash as an escape: there a literal with quotes
// doubled can still be broken out of. PostgreSQL is switched to standard strings at connect.
bool BackslashEscapesIn(QSqlDriver::DbmsType dbms, Backend dialect) {
    switch (dialect) {
        case Backend::SQLite:
        case Backend::PostgreSQL:
        case Backend::Oracle:
            return false;
        case Backend::Odbc:
            break;
    }
    switch (dbms) {
        case QSqlDriver::MSSqlServer:
        case QSqlDriver::Sybase:
        case QSqlDriver::DB2:
        case QSqlDriver::Interbase:
            return false;
        default:
            return true;  // MySQL, and whatever cannot be told apart
    }
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
    db.setPassword(password_.isEmpty() ? spec.password : password_);
    if (!spec.host.isEmpty()) {
        db.setHostName(spec.host);
    }
    if (spec.port > 0) {
        db.setPort(spec.port);
    }
    if (spec.backend == Backend::SQLite) {
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(timeoutSeconds_ * 1000));
    } else if (spec.backend == Backend::PostgreSQL) {
        // libpq takes no less than 2 s. A server that stopped answering at all (a dead link)
        // ends the connection once sent bytes go unacknowledged for the bound.
        db.setConnectOptions(QStringLiteral("connect_timeout=%1;tcp_user_timeout=%2")
                                 .arg(std::max(2, timeoutSeconds_))
                                 .arg(timeoutSeconds_ * 1000));
    } else if (spec.backend == Backend::Odbc) {
        db.setConnectOptions(
            QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1")
                .arg(timeoutSeconds_));
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
        try {
            PreparePostgresSession(db);
        } catch (...) {
            db.close();
            throw;
        }
    }
    backslashEscapes_ = BackslashEscapesIn(db.driver()->dbmsType(), dialect_);
    wanted_ = true;
}

namespace {
void ExecSession(QSqlDatabase& db, const QString& sql, const QString& what) {
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        throw DbError(Tr("korvane", "连接数据库失败（%1）: %2").arg(what, q.lastError().text()));
    }
}
}  // namespace

void TADOConnection::PreparePostgresSession(QSqlDatabase& db) const {
    // Quotes are doubled in literals and backslashes left as they are: that holds only while the
    // server reads a backslash as an ordinary character, which older sites switch off.
    ExecSession(db, QStringLiteral("set standard_conforming_strings = on"),
                Tr("korvane", "设置 standard_conforming_strings"));
    QSqlQuery shown(db);
    if (!shown.exec(QStringLiteral("show standard_conforming_strings")) || !shown.next() ||
        shown.value(0).toString() != u"on") {
        throw DbError(Tr("korvane",
                         "连接数据库失败: 数据库不接受 standard_conforming_strings=on，"
                         "文本中的反斜杠会被当作转义符，为安全起见不能使用该数据库"));
    }
    // No statement, nor a wait for another connection's row lock (an upload's claim while
    // another host's registration commits), holds the window longer than the bound.
    const int ms = timeoutSeconds_ * 1000;
    ExecSession(db, QStringLiteral("set statement_timeout = %1").arg(ms),
                Tr("korvane", "设置语句超时"));
    ExecSession(db, QStringLiteral("set lock_timeout = %1").arg(ms),
                Tr("korvane", "设置锁等待时间"));
}

int TADOConnection::ParseTimeout(const QString& value) {
    const QString text = value.trimmed();
    if (text.isEmpty()) {
        return kDefaultTimeoutSeconds;
    }
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (!ok || seconds < 1 || seconds > 3600) {
        throw DbError(
            Tr("korvane", "系统参数korvane_db_timeout的值[%1]无效，应为1到3600的秒数").arg(text));
    }
    return seconds;
}

bool TADOConnection::Revive() {
    if (inTransaction_ || !wanted_) {
        return false;
    }
    if (Connected()) {
        QSqlQuery probe(Database());
        if (probe.exec(dialect_ == Backend::Oracle ? QStringLiteral("select 1 from dual")
                                                   : QStringLiteral("select 1"))) {
            return false;
        }
    }
    Reopen();
    return true;
}

void TADOConnection::EnsureOpen() {
    if (!Connected() && wanted_) {
        Reopen();
    }
    if (!Connected()) {
        throw DbError(Tr("korvane", "数据库未连接"));
    }
}

void TADOConnection::Reopen() {
    Drop();
    try {
        Open(MapConnectionString(connectionString_));
    } catch (const DbError& e) {
        throw DbError(Tr("korvane", "与数据库的连接已断开，重新连接失败: %1").arg(e.Message()));
    }
}

bool TADOConnection::Connected() const {
    return QSqlDatabase::contains(name_) && QSqlDatabase::database(name_, false).isOpen();
}

void TADOConnection::Close() {
    wanted_ = false;
    Drop();
}

void TADOConnection::Drop() {
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
    EnsureOpen();
    if (!inTransaction_) {
        Revive();  // nothing of the transaction has run yet: a lost connection is made again
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
