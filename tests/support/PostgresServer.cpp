#include "PostgresServer.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <atomic>

#include "support/FtpServers.h"

namespace korvane::test {

namespace {
constexpr int kStartTimeoutMs = 30000;

QString FindBinDir() {
    const QDir base(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = base.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& v : versions) {
        const QString bin = base.filePath(v + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb"))) {
            return bin;
        }
    }
    return QString();
}

bool ChownToPostgres(const QString& path) {
    const passwd* pw = getpwnam("postgres");
    return pw != nullptr && chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) == 0;
}

// Stops the cluster when the test program ends, while Qt is still up.
class StopAtEnd : public ::testing::Environment {
public:
    void TearDown() override { PostgresServer::Shared().Stop(); }
};
[[maybe_unused]] const auto* const kStopAtEnd = ::testing::AddGlobalTestEnvironment(new StopAtEnd);

std::atomic<int> gConnections{0};
}  // namespace

PostgresServer& PostgresServer::Shared() {
    static PostgresServer* server = new PostgresServer;  // lives to the end of the program
    return *server;
}

PostgresServer::~PostgresServer() {
    Stop();
}

bool PostgresServer::Ensure() {
    if (external_ || running_) {
        return true;
    }
    if (tried_) {
        return false;
    }
    tried_ = true;
    // A cluster the test script started for the whole run (scripts/pg-test-cluster.sh).
    const int shared = qEnvironmentVariableIntValue("KORVANE_TEST_PG");
    if (shared > 0) {
        port_ = shared;
        external_ = Admin(QStringLiteral("select 1"));
        if (external_) {
            return true;
        }
    }
    return Start();
}

bool PostgresServer::RunAsOwner(const QString& program, const QStringList& args, QString* output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (geteuid() == 0) {
        p.start(QStringLiteral("runuser"), QStringList{"-u", "postgres", "--", program} + args);
    } else {
        p.start(program, args);
    }
    const bool ok = p.waitForFinished(kStartTimeoutMs) && p.exitStatus() == QProcess::NormalExit &&
                    p.exitCode() == 0;
    if (output) {
        *output = QString::fromLocal8Bit(p.readAll());
    }
    return ok;
}

bool PostgresServer::Start() {
    bin_ = FindBinDir();
    if (bin_.isEmpty()) {
        error_ =
            QStringLiteral("PostgreSQL server programs are not installed (package postgresql)");
        return false;
    }
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/korvane-pg-XXXXXX"));
    const QString pwfile = dir_->filePath(QStringLiteral("pw"));
    QFile pw(pwfile);
    pw.open(QIODevice::WriteOnly);
    pw.write(Password().toUtf8() + '\n');
    pw.close();
    if (geteuid() == 0 && !(ChownToPostgres(dir_->path()) && ChownToPostgres(pwfile))) {
        error_ = QStringLiteral("cannot hand the cluster directory to the user postgres");
        return false;
    }
    const QString data = dir_->filePath(QStringLiteral("data"));
    QString log;
    if (!RunAsOwner(bin_ + QStringLiteral("/initdb"),
                    {"-D", data, "-U", User(), "--pwfile=" + pwfile, "--auth=scram-sha-256", "-E",
                     "UTF8", "--locale=C.UTF-8"},
                    &log)) {
        error_ = QStringLiteral("initdb failed: ") + log.right(500);
        return false;
    }
    port_ = FreePort();
    // A test cluster: durability is not what is tested here, speed is welcome. Small shared
    // buffers, since every TRUNCATE and DROP between tests scans them all.
    const QString options =
        QStringLiteral(
            "-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
            "-c synchronous_commit=off -c full_page_writes=off -c max_connections=100 "
            "-c shared_buffers=16MB")
            .arg(port_)
            .arg(dir_->path());
    if (!RunAsOwner(bin_ + QStringLiteral("/pg_ctl"),
                    {"-D", data, "-l", dir_->filePath(QStringLiteral("server.log")), "-w", "-t",
                     QString::number(kStartTimeoutMs / 1000), "-o", options, "start"},
                    &log)) {
        QFile serverLog(dir_->filePath(QStringLiteral("server.log")));
        serverLog.open(QIODevice::ReadOnly);
        error_ = QStringLiteral("the PostgreSQL server did not start: ") + log.right(300) +
                 QString::fromLocal8Bit(serverLog.readAll().right(500));
        return false;
    }
    running_ = true;
    return true;
}

void PostgresServer::Stop() {
    if (running_) {
        RunAsOwner(bin_ + QStringLiteral("/pg_ctl"),
                   {"-D", dir_->filePath(QStringLiteral("data")), "-m", "fast", "-w", "stop"},
                   nullptr);
        running_ = false;
    }
    dir_.reset();
}

bool PostgresServer::Admin(const QString& sql) {
    const QString name = QStringLiteral("korvane-pg-admin-%1").arg(++gConnections);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(QStringLiteral("127.0.0.1"));
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
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

QString PostgresServer::ConnectionString(const QString& database, const QString& password) const {
    return QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1:%1/%2;User ID=%3;Password=%4")
        .arg(port_)
        .arg(database, User(), password);
}

bool PostgresServer::CreateDatabase(const QString& name) {
    return Ensure() && Admin(QStringLiteral("create database ") + name);
}

void PostgresServer::DropDatabase(const QString& name) {
    Admin(QStringLiteral("drop database if exists %1 with (force)").arg(name));
}

}  // namespace korvane::test
