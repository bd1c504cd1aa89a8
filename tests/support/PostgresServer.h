#pragma once

#include <QProcess>
#include <QString>
#include <memory>

namespace korvane::test {

// The test run's PostgreSQL cluster, made by pg_virtualenv (postgresql-common): the one that
// scripts/test.sh runs the suites in (its PGHOST, PGPORT, PGUSER and PGPASSWORD), or else one
// this program asks pg_virtualenv for on first use and that goes when the program ends.
class PostgresServer {
public:
    static PostgresServer& Shared();
    ~PostgresServer();

    // Reaches the cluster, asking for one if there is none yet; false with Error() otherwise.
    bool Ensure();
    void Stop();
    const QString& Error() const { return error_; }
    const QString& Host() const { return host_; }
    int Port() const { return port_; }
    static QString User() { return Shared().user_; }
    static QString Password() { return Shared().password_; }
    QString ConnectionString(const QString& database, const QString& password = Password()) const;

    // Creates or drops (forcibly, connections and all) a database; false on failure.
    bool CreateDatabase(const QString& name);
    void DropDatabase(const QString& name);

private:
    PostgresServer() = default;
    bool Start();
    bool Admin(const QString& sql);

    std::unique_ptr<QProcess> virtualenv_;  // holds its cluster while its command waits
    QString host_;
    int port_ = 0;
    QString user_;
    QString password_;
    QString error_;
    bool tried_ = false;
    bool reachable_ = false;
};

}  // namespace korvane::test
