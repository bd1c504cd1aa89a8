#include "TestDatabase.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <atomic>
#include <vector>

#include "DbError.h"
#include "SqlScript.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "support/PostgresServer.h"

namespace korvane::test {

namespace {

void ApplySchemaFile(const QString& connectionString, const QString& script) {
    db::TADOConnection c;
    c.SetConnectionString(connectionString);
    c.SetCreateMissing(true);
    c.SetConnected(true);
    db::TADOQuery q(c);
    QFile file(QStringLiteral(KORVANE_SOURCE_DIR "/db/schema/") + script);
    file.open(QIODevice::ReadOnly);
    db::ApplyScript(q, QString::fromUtf8(file.readAll()));
}

class Sqlite : public TestDatabase {
public:
    Sqlite() { ApplySchemaFile(ConnectionString(), QStringLiteral("sqlite.sql")); }
    QString ConnectionString() const override {
        return QStringLiteral("Provider=SQLite;Data Source=") +
               dir_.filePath(QStringLiteral("korvane.db"));
    }
    db::Backend Kind() const override { return db::Backend::SQLite; }
    void RefuseInserts() override {
        Exec(
            QStringLiteral("create trigger zy.refuse before insert on res_download_path "
                           "begin select raise(abort, 'refused'); end"));
    }

private:
    QTemporaryDir dir_;
};

// PostgreSQL databases that finished tests left clean, for the next test of this program: a new
// one costs a CREATE, the schema and a DROP (about 0.3 s), a reset a few milliseconds.
std::vector<QString>& FreeDatabases() {
    static std::vector<QString> free;
    return free;
}

// Empties the tables that tests write and removes what RefuseInserts() adds; false when the
// database is no longer as the schema made it, or a connection left open holds its tables.
bool ResetForReuse(const TestDatabase& database) {
    try {
        db::TADOQuery q(database.Fixture());
        for (const char* sql :
             {"set lock_timeout = '3s'", "drop trigger if exists refuse on zy.res_download_path",
              "drop function if exists zy.refuse()",
              "truncate zy.res_download_path, xg.sys_base_type, zy.res_download_file, "
              "zy.res_download_history"}) {
            db::ExecStatement(q, QString::fromLatin1(sql));
        }
        return true;
    } catch (const db::DbError&) {
        return false;
    }
}

class Postgres : public TestDatabase {
public:
    Postgres(QString name, bool fresh) : name_(std::move(name)) {
        if (fresh) {
            ApplySchemaFile(ConnectionString(), QStringLiteral("postgresql.sql"));
        }
    }
    ~Postgres() override {
        const bool reusable = ResetForReuse(*this);
        CloseFixture();  // before a DROP, which would wait for it
        PostgresServer& server = PostgresServer::Shared();
        if (reusable) {
            FreeDatabases().push_back(name_);
        } else {
            server.DropDatabase(name_);
        }
    }
    QString ConnectionString() const override {
        return PostgresServer::Shared().ConnectionString(name_);
    }
    db::Backend Kind() const override { return db::Backend::PostgreSQL; }
    void RefuseInserts() override {
        Exec(
            QStringLiteral("create function zy.refuse() returns trigger language plpgsql as "
                           "$$ begin raise exception 'refused'; end $$"));
        Exec(
            QStringLiteral("create trigger refuse before insert on zy.res_download_path "
                           "for each row execute function zy.refuse()"));
    }

protected:
    QString name_;
};

// The same PostgreSQL database reached through ODBC: QODBC, unixODBC and psqlODBC, with a DSN
// in a private odbc.ini. The schema and the fixture's statements go natively, the product through
// ODBC.
class Odbc : public Postgres {
public:
    Odbc(QString name, bool fresh) : Postgres(std::move(name), fresh) {}
    QString ConnectionString() const override {
        return QStringLiteral("Provider=MSDASQL;DSN=%1;User ID=%2;Password=%3")
            .arg(name_, PostgresServer::User(), PostgresServer::Password());
    }
    db::Backend Kind() const override { return db::Backend::Odbc; }

protected:
    QString FixtureConnectionString() const override {
        return PostgresServer::Shared().ConnectionString(name_);
    }

public:
    // Writes the DSN for database name; false (with why) when ODBC cannot be had here.
    static bool AddDsn(const QString& name, QString* why) {
        static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/korvane-odbc-XXXXXX"));
        static const QString driver = PsqlOdbcDriver();
        static QSet<QString> added;
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")) || driver.isEmpty() ||
            !dir.isValid()) {
            if (why) {
                *why = QStringLiteral("QODBC or psqlODBC is not installed");
            }
            return false;
        }
        if (added.contains(name)) {
            return true;
        }
        qputenv("ODBCSYSINI", dir.path().toUtf8());
        qputenv("ODBCINI", dir.filePath(QStringLiteral("odbc.ini")).toUtf8());
        QFile inst(dir.filePath(QStringLiteral("odbcinst.ini")));
        if (!inst.exists() && inst.open(QIODevice::WriteOnly)) {
            inst.write(QStringLiteral("[korvane-psqlodbc]\nDriver=%1\n").arg(driver).toUtf8());
        }
        QFile ini(dir.filePath(QStringLiteral("odbc.ini")));
        if (!ini.open(QIODevice::Append)) {
            return false;
        }
        ini.write(QStringLiteral("[%1]\nDriver=korvane-psqlodbc\nServername=%2\nPort=%3\n"
                                 "Database=%1\n")
                      .arg(name, PostgresServer::Shared().Host())
                      .arg(PostgresServer::Shared().Port())
                      .toUtf8());
        added.insert(name);
        return true;
    }

private:
    static QString PsqlOdbcDriver() {
        const QStringList found = QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs);
        for (const QString& sub : found) {
            const QString path = QStringLiteral("/usr/lib/%1/odbc/psqlodbcw.so").arg(sub);
            if (QFileInfo::exists(path)) {
                return path;
            }
        }
        return QString();
    }
};

}  // namespace

db::TADOConnection& TestDatabase::Fixture() const {
    if (!fixture_) {
        fixture_ = std::make_unique<db::TADOConnection>();
        fixture_->SetConnectionString(FixtureConnectionString());
        fixture_->SetConnected(true);
    }
    return *fixture_;
}

void TestDatabase::Exec(const QString& sql) const {
    db::TADOQuery q(Fixture());
    db::ExecStatement(q, sql);
}

std::unique_ptr<TestDatabase> TestDatabase::Create(db::Backend kind, QString* why) {
    if (kind == db::Backend::SQLite) {
        return std::make_unique<Sqlite>();
    }
    static std::atomic<int> counter{0};
    std::vector<QString>& free = FreeDatabases();
    const bool fresh = free.empty();
    const QString name =
        fresh ? QStringLiteral("korvane_%1_%2").arg(getpid()).arg(++counter) : free.back();
    PostgresServer& server = PostgresServer::Shared();
    if (fresh && !server.CreateDatabase(name)) {
        if (why) {
            *why = server.Error();
        }
        return nullptr;
    }
    if (!fresh) {
        free.pop_back();
    }
    if (kind == db::Backend::Odbc) {
        if (!Odbc::AddDsn(name, why)) {
            server.DropDatabase(name);
            return nullptr;
        }
        return std::make_unique<Odbc>(name, fresh);
    }
    return std::make_unique<Postgres>(name, fresh);
}

const char* BackendName(db::Backend kind) {
    switch (kind) {
        case db::Backend::SQLite:
            return "SQLite";
        case db::Backend::PostgreSQL:
            return "PostgreSQL";
        case db::Backend::Oracle:
            return "Oracle";
        case db::Backend::Odbc:
            return "ODBC";
    }
    return "?";
}

}  // namespace korvane::test
