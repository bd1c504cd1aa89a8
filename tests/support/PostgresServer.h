#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace korvane::test {

// A PostgreSQL cluster of the test run's own: the one the test script started for the whole run
// ($KORVANE_TEST_PG names its port), or else one this program creates in a temporary directory
// (as the unprivileged user "postgres" when the tests run as root), listening on a free loopback
// port with password authentication, started on first use and removed when the program ends.
class PostgresServer {
public:
    static PostgresServer& Shared();
    ~PostgresServer();

    // Starts the cluster if it is not running yet; false with Error() otherwise.
    bool Ensure();
    void Stop();
    const QString& Error() const { return error_; }
    int Port() const { return port_; }
    static QString User() { return QStringLiteral("korvane"); }
    static QString Password() { return QStringLiteral("korvane-test-pw"); }
    QString ConnectionString(const QString& database, const QString& password = Password()) const;

    // Creates or drops (forcibly, connections and all) a database; false on failure.
    bool CreateDatabase(const QString& name);
    void DropDatabase(const QString& name);

private:
    PostgresServer() = default;
    bool Start();
    bool RunAsOwner(const QString& program, const QStringList& args, QString* output);
    bool Admin(const QString& sql);

    std::unique_ptr<QTemporaryDir> dir_;
    QString bin_;
    int port_ = 0;
    QString error_;
    bool tried_ = false;
    bool external_ = false;
    bool running_ = false;
};

}  // namespace korvane::test
