#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace korvane::test {

// A real FTP server on 127.0.0.1 at a free port, serving a temporary directory, stopped when the
// object goes. Started() is false (with Error() saying why) when it could not be started.
class FtpServer {
public:
    virtual ~FtpServer();
    bool Started() const { return port_ > 0; }
    const QString& Error() const { return error_; }
    int Port() const { return port_; }
    QString Server() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    // The directory where the login lands, where tests put and find files.
    virtual QString Home() const = 0;
    QString PathOf(const QString& name) const { return Home() + u'/' + name; }
    void Put(const QString& name, const QByteArray& content) const;
    QByteArray Read(const QString& name) const;
    // The remote directory of Home(), relative to where the login lands.
    virtual QByteArray RemoteDir() const = 0;
    virtual QByteArray User() const = 0;
    virtual QByteArray Password() const = 0;

protected:
    void Stop();
    // Starts a fixture script of tests/fixtures that prints "PORT <n>" once it listens, and
    // takes that port (else says why in error_).
    void StartScript(const char* script, const QStringList& args);
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> process_;
    int port_ = 0;
    QString error_;
};

// pyftpdlib with fault switches (see tests/fixtures/ftp_server.py), user "op", password "secret".
class PyFtpServer : public FtpServer {
public:
    explicit PyFtpServer(const QStringList& faults = {});
    ~PyFtpServer() override;
    // The plain server of the whole test program, started on first use and stopped with the
    // application. Each test takes it through Reset().
    static PyFtpServer& Shared();
    // An empty home directory, and these faults for the connections made from now on.
    void Reset(const QStringList& faults = {});
    // These faults for the connections made from now on; the home directory stays as it is.
    void SetFaults(const QStringList& faults);
    // The shared server reset to faults, or a server of its own, kept in own, for switches that
    // only a start can set (TLS, silence, another user).
    static PyFtpServer& With(const QStringList& faults, std::unique_ptr<PyFtpServer>& own);
    QString Home() const override { return dir_.path(); }
    QByteArray RemoteDir() const override { return "/"; }
    QByteArray User() const override { return "op"; }
    QByteArray Password() const override { return "secret"; }

private:
    QTemporaryDir control_;  // outside the home, so a listing never shows the faults file
    int resets_ = 0;
};

// vsftpd in the foreground with anonymous login, the home directory "pub" writable.
// Needs root (its configuration must belong to root).
class VsftpdServer : public FtpServer {
public:
    // extraConfig: further vsftpd.conf lines, which override the defaults (port_enable=NO).
    explicit VsftpdServer(const QString& extraConfig = QString());
    ~VsftpdServer() override;
    // The lines of a server that requires TLS for logins and data (session reuse on, as by
    // default), with the certificate and key of pemFile; implicit: TLS from the first byte.
    static QString TlsConfig(const QString& pemFile, bool implicit);
    QString Home() const override { return dir_.path() + QStringLiteral("/root/pub"); }
    QByteArray RemoteDir() const override { return "/pub"; }
    QByteArray User() const override { return "anonymous"; }
    QByteArray Password() const override { return ""; }
};

// A relay in front of another server (tests/fixtures/ftp_connect_back_blackhole.py) that points
// every PORT and EPRT at a port where connecting blocks, as a firewall that drops the server's
// connections back does; passive mode reaches the server as before.
class ConnectBackBlackhole : public FtpServer {
public:
    explicit ConnectBackBlackhole(const FtpServer& behind);
    ~ConnectBackBlackhole() override;
    QString Home() const override { return behind_.Home(); }
    QByteArray RemoteDir() const override { return behind_.RemoteDir(); }
    QByteArray User() const override { return behind_.User(); }
    QByteArray Password() const override { return behind_.Password(); }

private:
    const FtpServer& behind_;
};

// A free TCP port on 127.0.0.1 (bound, read, released).
int FreePort();
// Whether something accepts connections on 127.0.0.1:port within the time.
bool WaitForListener(int port, int timeoutMs);

}  // namespace korvane::test
