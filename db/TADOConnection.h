#pragma once

#include <QSqlDatabase>
#include <QString>

#include "ConnectionString.h"

namespace korvane::db {

// The form's database connection. Its connection string takes effect at the next connect;
// connecting raises DbError with a clear reason (bad string, missing driver, unreachable
// database, missing directory).
class TADOConnection {
public:
    TADOConnection();
    ~TADOConnection();
    TADOConnection(const TADOConnection&) = delete;
    TADOConnection& operator=(const TADOConnection&) = delete;

    void SetConnectionString(const QString& text) { connectionString_ = text; }
    const QString& ConnectionString() const { return connectionString_; }

    // true connects (throws DbError on failure); false closes.
    void SetConnected(bool connected);
    // An SQLite database is opened only when its files exist, so a wrong path is reported
    // instead of becoming an empty database. Only the tool that applies schema scripts creates.
    void SetCreateMissing(bool create) { createMissing_ = create; }
    bool Connected() const;
    void Close();

    Backend CurrentBackend() const { return backend_; }
    // Whose SQL the connection speaks: the database behind it, so that ODBC to PostgreSQL is
    // bridged as PostgreSQL.
    Backend Dialect() const { return dialect_; }
    QSqlDatabase Database() const;
    // Whether the database behind the connection reads a backslash in a string literal as an
    // escape (MySQL, an ODBC source it cannot tell): statements there may carry none.
    bool ReadsBackslashEscapes() const { return backslashEscapes_; }

    // One transaction on this connection; each raises DbError when the database refuses.
    // SQLite takes the write lock at the start (waiting up to the busy timeout for another
    // process), so a transaction never fails half-way for a lock. Rollback without a
    // transaction begun here does nothing.
    void BeginTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const { return inTransaction_; }

    // Milliseconds an SQLite connection waits for another process's lock before it fails.
    static constexpr int kSqliteBusyTimeoutMs = 30000;
    // The same bound for a PostgreSQL statement waiting for another connection's row lock (an
    // upload's claim while another host's registration commits), natively and through ODBC.
    static constexpr int kPostgresLockTimeoutMs = kSqliteBusyTimeoutMs;

private:
    void Open(const ConnectionSpec& spec);
    static void PreparePostgresSession(QSqlDatabase& db);

    QString connectionString_;
    QString name_;
    Backend backend_ = Backend::Oracle;
    Backend dialect_ = Backend::Oracle;
    bool createMissing_ = false;
    bool inTransaction_ = false;
    bool backslashEscapes_ = false;
};

}  // namespace korvane::db
