#include "FtpServers.h"

#include "Files.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

namespace korvane::test {

namespace {
constexpr int kStartTimeoutMs = 15000;

void OpenUp(const QString& path) {
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                    QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                    QFileDevice::ExeOther);
}
}  // namespace

bool WaitForListener(int port, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool up = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(fd);
        if (up) {
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        port = ntohs(a.sin_port);
    }
    close(fd);
    return port;
}

FtpServer::~FtpServer() = default;

void FtpServer::Stop() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(5000);
    }
}

void FtpServer::Put(const QString& name, const QByteArray& content) const {
    WriteFile(PathOf(name), content);
    OpenUp(PathOf(name));  // the server may run as another user
}

QByteArray FtpServer::Read(const QString& name) const {
    return ReadFile(PathOf(name));
}

void FtpServer::StartScript(const char* script, const QStringList& args) {
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString path =
        QStringLiteral(KORVANE_SOURCE_DIR "/tests/fixtures/") + QLatin1String(script);
    process_->start(QStringLiteral("/usr/bin/python3"), QStringList{path} + args);
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired() && process_->state() != QProcess::NotRunning) {
        if (process_->canReadLine()) {
            const QByteArray line = process_->readLine().trimmed();
            if (line.startsWith("PORT ")) {
                port_ = line.mid(5).toInt();
                return;
            }
        }
        process_->waitForReadyRead(200);
    }
    error_ = QLatin1String(script) + QStringLiteral(" did not start: ") + process_->errorString();
}

PyFtpServer::PyFtpServer(const QStringList& faults) {
    StartScript("ftp_server.py",
                QStringList{QStringLiteral("--root"), dir_.path(), QStringLiteral("--faults-file"),
                            control_.filePath(QStringLiteral("faults"))} +
                    faults);
}

PyFtpServer::~PyFtpServer() {
    Stop();
}

PyFtpServer& PyFtpServer::Shared() {
    static std::unique_ptr<PyFtpServer> shared;
    if (!shared) {
        shared = std::make_unique<PyFtpServer>();
        qAddPostRoutine([] { shared.reset(); });
    }
    return *shared;
}

PyFtpServer& PyFtpServer::With(const QStringList& faults, std::unique_ptr<PyFtpServer>& own) {
    for (const char* startOnly : {"--tls-cert", "--silent", "--user", "--password"}) {
        if (faults.contains(QLatin1String(startOnly))) {
            own = std::make_unique<PyFtpServer>(faults);
            return *own;
        }
    }
    Shared().Reset(faults);
    return Shared();
}

void PyFtpServer::SetFaults(const QStringList& faults) {
    // The numbered first line makes every reset a new file for the server, so a fault that
    // happens once (--drop-once) happens again for a test with the same switches as the last.
    const QString text = QStringLiteral("# reset %1\n").arg(++resets_) + faults.join(u'\n');
    WriteFile(control_.filePath(QStringLiteral("faults")), text.toUtf8());
}

void PyFtpServer::Reset(const QStringList& faults) {
    SetFaults(faults);
    QDir home(Home());
    for (const QFileInfo& entry :
         home.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (entry.isDir() && !entry.isSymLink()) {
            QDir(entry.filePath()).removeRecursively();
        } else {
            QFile::remove(entry.filePath());
        }
    }
}

VsftpdServer::VsftpdServer(const QString& extraConfig) {
    if (geteuid() != 0) {
        error_ = QStringLiteral("vsftpd needs root for its configuration");
        return;
    }
    const QString binary =
        QStandardPaths::findExecutable(QStringLiteral("vsftpd"), {QStringLiteral("/usr/sbin")});
    if (binary.isEmpty()) {
        error_ = QStringLiteral("vsftpd is not installed");
        return;
    }
    OpenUp(dir_.path());
    const QString root = dir_.path() + QStringLiteral("/root");
    QDir().mkpath(Home());
    QDir().mkpath(dir_.path() + QStringLiteral("/empty"));
    OpenUp(root);
    QFile::setPermissions(Home(), QFileDevice::Permissions(0x7777));
    const int port = FreePort();
    const QString config = dir_.path() + QStringLiteral("/vsftpd.conf");
    QFile conf(config);
    conf.open(QIODevice::WriteOnly);
    conf.write(
        QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                       "background=NO\nanonymous_enable=YES\nno_anon_password=YES\n"
                       "local_enable=NO\nwrite_enable=YES\nanon_upload_enable=YES\n"
                       "anon_other_write_enable=YES\nanon_mkdir_write_enable=YES\nanon_umask=022\n"
                       "anon_root=%2\nsecure_chroot_dir=%3\nseccomp_sandbox=NO\n"
                       "port_enable=YES\nconnect_from_port_20=NO\npasv_enable=YES\n"
                       "xferlog_enable=NO\nuse_localtime=NO\nmdtm_write=YES\n"
                       "max_clients=64\nmax_per_ip=64\n%4\n")
            .arg(port)
            .arg(root, dir_.path() + QStringLiteral("/empty"), extraConfig)
            .toUtf8());
    conf.close();
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    process_->start(binary, {config});
    if (!process_->waitForStarted(kStartTimeoutMs) || !WaitForListener(port, kStartTimeoutMs)) {
        error_ = QStringLiteral("vsftpd did not start (exit %1)").arg(process_->exitCode());
        return;
    }
    port_ = port;
}

QString VsftpdServer::TlsConfig(const QString& pemFile, bool implicit) {
    return QStringLiteral(
               "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
               "force_anon_data_ssl=YES\nssl_ciphers=HIGH\nrsa_cert_file=%1\n"
               "rsa_private_key_file=%1\nimplicit_ssl=%2\n")
        .arg(pemFile, implicit ? QStringLiteral("YES") : QStringLiteral("NO"));
}

VsftpdServer::~VsftpdServer() {
    Stop();
}

ConnectBackBlackhole::ConnectBackBlackhole(const FtpServer& behind) : behind_(behind) {
    StartScript("ftp_connect_back_blackhole.py",
                {QStringLiteral("--upstream"), QString::number(behind.Port())});
}

ConnectBackBlackhole::~ConnectBackBlackhole() {
    Stop();
}

}  // namespace korvane::test
