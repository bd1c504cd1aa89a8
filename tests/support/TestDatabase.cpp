#include "TestDatabase.h"

#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <atomic>

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

class Postgres : public TestDatabase {
public:
    explicit Postgres(QString name) : name_(std::move(name)) {
        ApplySchemaFile(ConnectionString(), QStringLiteral("postgresql.sql"));
    }
    ~Postgres() override { PostgresServer::Shared().DropDatabase(name_); }
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

private:
    QString name_;
};

}  // namespace

void TestDatabase::Exec(const QString& sql) const {
    db::TADOConnection c;
    c.SetConnectionString(ConnectionString());
    c.SetConnected(true);
    db::TADOQuery q(c);
    db::ExecStatement(q, sql);
}

std::unique_ptr<TestDatabase> TestDatabase::Create(db::Backend kind, QString* why) {
    if (kind == db::Backend::SQLite) {
        return std::make_unique<Sqlite>();
    }
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("korvane_%1_%2").arg(getpid()).arg(++counter);
    PostgresServer& server = PostgresServer::Shared();
    if (!server.CreateDatabase(name)) {
        if (why) {
            *why = server.Error();
        }
        return nullptr;
    }
    return std::make_unique<Postgres>(name);
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
