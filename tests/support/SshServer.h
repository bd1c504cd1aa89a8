#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace korvane::test {

// OpenSSH's sshd as a child process on 127.0.0.1 at a free port, with a host key and a
// configuration of its own in a temporary folder; stopped when the object goes, never
// installed as a service. The account: as root, a throw-away user with a random password,
// created with useradd and removed with userdel again (sshd with UsePAM no checks
// /etc/shadow); otherwise the current user with no password, so that password cases skip.
// Started() is false (with Error() saying why) when it could not be started.
class SshServer {
public:
    // sftpFlags: further options of internal-sftp, e.g. "-P posix-rename" to refuse
    // that request.
    explicit SshServer(const QString& sftpFlags = QString());
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    bool Started() const { return port_ > 0; }
    const QString& Error() const { return error_; }
    int Port() const { return port_; }
    QString Server() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    // The account's home and the folder where tests put and find files.
    QString Home() const { return home_.path(); }
    QString PathOf(const QString& name) const { return Home() + u'/' + name; }
    const QString& User() const { return user_; }
    // Empty where no password could be set (not root).
    const QString& Password() const { return password_; }
    // A private key (no passphrase) that the server accepts for User().
    QString ClientKey() const { return config_.filePath(QStringLiteral("client_key")); }
    // The host key: its type ("ssh-ed25519"), its SHA256 fingerprint as ssh-keygen prints it,
    // and its public line ("ssh-ed25519 AAAA...") as known-hosts files hold it.
    const QString& HostKeyType() const { return hostKeyType_; }
    const QString& HostKeyFingerprint() const { return hostKeyFingerprint_; }
    const QString& HostKeyLine() const { return hostKeyLine_; }
    // sshd's log so far (LogLevel DEBUG1: every authentication request is a line).
    QByteArray Log() const;
    // A file put into the home as the account's own, and one read from it.
    void Put(const QString& name, const QByteArray& content) const;
    QByteArray Read(const QString& name) const;
    // Empties the home, for the next test.
    void Clear() const;
    // Ends sshd and every session it serves, at once (SIGKILL).
    void Kill();

private:
    bool Prepare(const QString& sftpFlags);
    bool MakeAccount();
    bool Launch();

    QTemporaryDir config_;
    QTemporaryDir home_;
    std::unique_ptr<QProcess> process_;
    int port_ = 0;
    bool ownAccount_ = false;
    QString user_;
    QString password_;
    QString hostKeyType_;
    QString hostKeyFingerprint_;
    QString hostKeyLine_;
    QString error_;
};

// A new ed25519 key pair at path (and path.pub); passphrase may be empty. False when ssh-keygen
// failed.
bool MakeSshKey(const QString& path, const QString& passphrase = QString());
// The SHA256 fingerprint of a public key file, as `ssh-keygen -lf` prints it.
QString SshFingerprint(const QString& publicKeyFile);

// An ssh-agent in the foreground on a socket of its own, holding the keys added; stopped with
// the object.
class SshAgent {
public:
    SshAgent();
    ~SshAgent();
    bool Started() const { return started_; }
    QString Socket() const { return dir_.filePath(QStringLiteral("agent.sock")); }
    bool Add(const QString& keyFile) const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    bool started_ = false;
};

}  // namespace korvane::test
