#pragma once

#include <gtest/gtest.h>
#include <QString>
#include <memory>
#include <ostream>
#include <string>

#include "ConnectionString.h"
#include "TADOConnection.h"

namespace korvane::test {

// A database for one test, created from the project's schema script on one backend: the
// embedded SQLite default, a PostgreSQL server that the fixture starts itself, or that server
// through ODBC.
class TestDatabase {
public:
    virtual ~TestDatabase() = default;
    virtual QString ConnectionString() const = 0;
    virtual db::Backend Kind() const = 0;
    // Makes every later INSERT into zy.res_download_path fail, as a database may.
    virtual void RefuseInserts() = 0;

    // Runs one statement without rows; a failure raises db::DbError.
    void Exec(const QString& sql) const;
    // The fixture's own connection, opened on first use and kept for the test: what the tests
    // set up and read back goes the short way, natively, whatever way the product goes.
    db::TADOConnection& Fixture() const;
    void CloseFixture() { fixture_.reset(); }

    // Null (with why set) when the backend cannot be had on this machine.
    static std::unique_ptr<TestDatabase> Create(db::Backend kind, QString* why = nullptr);

protected:
    virtual QString FixtureConnectionString() const { return ConnectionString(); }

private:
    mutable std::unique_ptr<db::TADOConnection> fixture_;
};

const char* BackendName(db::Backend kind);

// Names the instances of a test parameterised over backends.
inline std::string BackendTestName(const ::testing::TestParamInfo<db::Backend>& info) {
    return BackendName(info.param);
}

// A test on one backend with a fresh database and a connection of its own to it; skipped where
// the backend cannot be had.
class ConnectedBackendTest : public ::testing::TestWithParam<db::Backend> {
protected:
    void SetUp() override {
        QString why;
        db = TestDatabase::Create(GetParam(), &why);
        if (!db) {
            GTEST_SKIP() << why.toStdString();
        }
        connection.SetConnectionString(db->ConnectionString());
        connection.SetConnected(true);
    }

    std::unique_ptr<TestDatabase> db;
    korvane::db::TADOConnection connection;
};

}  // namespace korvane::test

namespace korvane::db {
// Test names and failures show the backend's name, not its bytes.
inline void PrintTo(Backend kind, std::ostream* os) {
    *os << test::BackendName(kind);
}
}  // namespace korvane::db
