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
    // A password from elsewhere than the connection string (a file, the environment, a prompt):
    // it replaces the string's own. Empty: the string's own.
    void SetPassword(const QString& password) { password_ = password; }
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

    // The longest wait for the database, in seconds, from the next connect on: SQLite's wait
    // for another process's lock, PostgreSQL's connect, statement and lock timeouts (natively
    // and through ODBC). The window takes it from the system parameter korvane_db_timeout.
    void SetTimeoutSeconds(int seconds) { timeoutSeconds_ = seconds; }
    int TimeoutSeconds() const { return timeoutSeconds_; }
    static constexpr int kDefaultTimeoutSeconds = 5;
    // Reads a korvane_db_timeout value: empty is the default; else whole seconds, 1 to 3600.
    // Throws DbError naming the parameter for anything else.
    static int ParseTimeout(const QString& value);

    // After a statement failed outside a transaction: whether the connection was gone and has
    // been made again with the same connection string. False when it still works (the statement
    // failed on its own); throws DbError when it is gone and cannot be made again.
    bool Revive();
    // Before a statement: a connection lost earlier (and not closed on purpose) is made again;
    // throws DbError when there is none.
    void EnsureOpen();

private:
    void Open(const ConnectionSpec& spec);
    void PreparePostgresSession(QSqlDatabase& db) const;
    void Reopen();
    void Drop();

    QString connectionString_;
    QString password_;
    QString name_;
    Backend backend_ = Backend::Oracle;
    Backend dialect_ = Backend::Oracle;
    bool createMissing_ = false;
    bool inTransaction_ = false;
    bool backslashEscapes_ = false;
    bool wanted_ = false;  // opened, and not closed on purpose since
    int timeoutSeconds_ = kDefaultTimeoutSeconds;
};

}  // namespace korvane::db
