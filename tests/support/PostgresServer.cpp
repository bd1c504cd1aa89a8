#include "PostgresServer.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <atomic>

namespace korvane::test {

namespace {
constexpr int kStartTimeoutMs = 120000;

// Stops the cluster when the test program ends, while Qt is still up.
class StopAtEnd : public ::testing::Environment {
public:
    void TearDown() override { PostgresServer::Shared().Stop(); }
};
[[maybe_unused]] const auto* const kStopAtEnd = ::testing::AddGlobalTestEnvironment(new StopAtEnd);

std::atomic<int> gConnections{0};

// Where the test script's cluster is, taken out of the environment before any test runs: libpq
// would otherwise lend PGPASSWORD and PGUSER to every connection string that lacks them.
struct ScriptCluster {
    QString host = qEnvironmentVariable("PGHOST", QStringLiteral("localhost"));
    int port = qEnvironmentVariableIntValue("PGPORT");
    QString user = qEnvironmentVariable("PGUSER", QStringLiteral("postgres"));
    QString password = qEnvironmentVariable("PGPASSWORD");
    ScriptCluster() {
        for (const char* name : {"PGHOST", "PGPORT", "PGUSER", "PGPASSWORD", "PGDATABASE"}) {
            qunsetenv(name);
        }
    }
};
const ScriptCluster kScriptCluster;
}  // namespace

PostgresServer& PostgresServer::Shared() {
    static PostgresServer* server = new PostgresServer;  // lives to the end of the program
    return *server;
}

PostgresServer::~PostgresServer() {
    Stop();
}

bool PostgresServer::Ensure() {
    if (reachable_) {
        return true;
    }
    if (tried_) {
        return false;
    }
    tried_ = true;
    // The cluster that the test script's pg_virtualenv made for the whole run.
    if (kScriptCluster.port > 0) {
        host_ = kScriptCluster.host;
        port_ = kScriptCluster.port;
        user_ = kScriptCluster.user;
        password_ = kScriptCluster.password;
        reachable_ = Admin(QStringLiteral("select 1"));
        return reachable_;
    }
    return Start();
}

bool PostgresServer::Start() {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pg_virtualenv"));
    if (program.isEmpty()) {
        error_ = QStringLiteral("pg_virtualenv is not installed (package postgresql-common)");
        return false;
    }
    // The command prints where the cluster is (one line among pg_virtualenv's own) and waits
    // for this program to close its input, or to end however it ends; pg_virtualenv then drops
    // the cluster. A test cluster: durability is not what is tested here, speed is welcome;
    // small shared buffers, since every TRUNCATE and DROP between tests scans them all.
    virtualenv_ = std::make_unique<QProcess>();
    virtualenv_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    virtualenv_->start(program, {"-t", "-o", "fsync=off", "-o", "synchronous_commit=off", "-o",
                                 "full_page_writes=off", "-o", "shared_buffers=16MB", "-o",
                                 "max_connections=100", "sh", "-c",
                                 "echo \"korvane-cluster $PGHOST $PGPORT $PGUSER $PGPASSWORD\"; "
                                 "exec cat >/dev/null"});
    QStringList where;
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (where.size() != 5 && !deadline.hasExpired() &&
           virtualenv_->state() != QProcess::NotRunning) {
        if (!virtualenv_->canReadLine()) {
            virtualenv_->waitForReadyRead(500);
            continue;
        }
        const QString line = QString::fromLocal8Bit(virtualenv_->readLine()).trimmed();
        if (line.startsWith(QStringLiteral("korvane-cluster "))) {
            where = line.split(u' ');
        }
    }
    if (where.size() != 5) {
        error_ =
            QStringLiteral("pg_virtualenv gave no cluster within %1 s").arg(kStartTimeoutMs / 1000);
        Stop();
        return false;
    }
    host_ = where[1];
    port_ = where[2].toInt();
    user_ = where[3];
    password_ = where[4];
    reachable_ = Admin(QStringLiteral("select 1"));
    return reachable_;
}

void PostgresServer::Stop() {
    reachable_ = false;
    if (virtualenv_) {
        virtualenv_->closeWriteChannel();
        if (!virtualenv_->waitForFinished(60000)) {
            virtualenv_->kill();
            virtualenv_->waitForFinished(5000);
        }
        virtualenv_.reset();
    }
}

bool PostgresServer::Admin(const QString& sql) {
    const QString name = QStringLiteral("korvane-pg-admin-%1").arg(++gConnections);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(host_);
        db.setPort(port_);
        db.setDatabaseName(QStringLiteral("postgres"));
        db.setUserName(User());
        db.setPassword(Password());
        db.setConnectOptions(QStringLiteral("connect_timeout=5"));
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(sql);
            if (!ok) {
                error_ = q.lastError().text();
            }
            db.close();
        } else {
            error_ = db.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

QString PostgresServer::ConnectionString(const QString& database, const QString& password) const {
    return QStringLiteral("Provider=PostgreSQL;Data Source=%1:%2/%3;User ID=%4;Password=%5")
        .arg(host_)
        .arg(port_)
        .arg(database, user_, password);
}

bool PostgresServer::CreateDatabase(const QString& name) {
    return Ensure() && Admin(QStringLiteral("create database ") + name);
}

void PostgresServer::DropDatabase(const QString& name) {
    Admin(QStringLiteral("drop database if exists %1 with (force)").arg(name));
}

}  // namespace korvane::test
