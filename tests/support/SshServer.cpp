#include "SshServer.h"

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QThread>

#include "Files.h"
#include "FtpServers.h"

namespace korvane::test {

namespace {
constexpr int kStartTimeoutMs = 15000;
constexpr int kToolTimeoutMs = 30000;

// Runs a tool to its end; its standard output, or a null array when it failed.
QByteArray Run(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(program, args);
    if (!input.isEmpty()) {
        p.write(input);
    }
    p.closeWriteChannel();
    if (!p.waitForFinished(kToolTimeoutMs) || p.exitStatus() != QProcess::NormalExit ||
        p.exitCode() != 0) {
        return QByteArray();
    }
    const QByteArray out = p.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

// Every process below root, children first, from /proc.
QList<pid_t> Descendants(pid_t root) {
    QMultiMap<pid_t, pid_t> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = ReadFile(QStringLiteral("/proc/%1/stat").arg(entry));
        const qsizetype close = stat.lastIndexOf(')');
        if (close > 0) {
            const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
            children.insert(fields.value(1).toInt(), entry.toInt());
        }
    }
    QList<pid_t> out;
    QList<pid_t> todo{root};
    while (!todo.isEmpty()) {
        const pid_t p = todo.takeFirst();
        const QList<pid_t> direct = children.values(p);
        todo += direct;
        out = direct + out;
    }
    return out;
}
}  // namespace

bool MakeSshKey(const QString& path, const QString& passphrase) {
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".pub"));
    return !Run(QStringLiteral("ssh-keygen"),
                {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                 QStringLiteral("-N"), passphrase, QStringLiteral("-C"),
                 QStringLiteral("korvane-test"), QStringLiteral("-f"), path})
                .isNull();
}

QString SshFingerprint(const QString& publicKeyFile) {
    const QByteArray line =
        Run(QStringLiteral("ssh-keygen"), {QStringLiteral("-lf"), publicKeyFile});
    return QString::fromLatin1(line.split(' ').value(1));
}

SshServer::SshServer(const QString& sftpFlags) {
    if (Prepare(sftpFlags) && MakeAccount()) {
        Launch();
    }
}

SshServer::~SshServer() {
    Kill();
    if (ownAccount_) {
        Run(QStringLiteral("userdel"), {user_});
    }
}

bool SshServer::Prepare(const QString& sftpFlags) {
    const QString hostKey = config_.filePath(QStringLiteral("host_key"));
    if (!MakeSshKey(hostKey) || !MakeSshKey(ClientKey())) {
        error_ = QStringLiteral("ssh-keygen failed");
        return false;
    }
    const QList<QByteArray> pub = ReadFile(hostKey + QStringLiteral(".pub")).trimmed().split(' ');
    hostKeyType_ = QString::fromLatin1(pub.value(0));
    hostKeyLine_ = QString::fromLatin1(pub.value(0) + ' ' + pub.value(1));
    hostKeyFingerprint_ = SshFingerprint(hostKey + QStringLiteral(".pub"));
    const QString keys = config_.filePath(QStringLiteral("authorized_keys"));
    WriteFile(keys, ReadFile(ClientKey() + QStringLiteral(".pub")));
    // sshd reads the authorized keys as the user; StrictModes no spares the ownership checks.
    chmod(QFile::encodeName(config_.path()).constData(), 0755);
    chmod(QFile::encodeName(keys).constData(), 0644);
    port_ = 0;
    const int port = FreePort();
    WriteFile(config_.filePath(QStringLiteral("sshd_config")),
              QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile %3\n"
                             "UsePAM no\nStrictModes no\nAuthorizedKeysFile %4\n"
                             "PasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                             "PermitRootLogin no\nLogLevel DEBUG1\nMaxStartups 100\n"
                             "Subsystem sftp internal-sftp %5\n")
                  .arg(port)
                  .arg(hostKey, config_.filePath(QStringLiteral("sshd.pid")), keys, sftpFlags)
                  .toUtf8());
    port_ = -port;  // not started yet
    return true;
}

bool SshServer::MakeAccount() {
    if (geteuid() != 0) {
        const passwd* me = getpwuid(geteuid());
        user_ = me != nullptr ? QString::fromLocal8Bit(me->pw_name) : QString();
        return true;
    }
    // sshd as root separates privileges in this folder; the package's service would make it.
    QDir().mkpath(QStringLiteral("/run/sshd"));
    static int servers = 0;
    user_ = QStringLiteral("kvsftp%1x%2").arg(getpid()).arg(++servers);
    password_ = QString::number(QRandomGenerator::system()->generate64(), 36);
    ownAccount_ = !Run(QStringLiteral("useradd"),
                       {QStringLiteral("--no-create-home"), QStringLiteral("--home-dir"), Home(),
                        QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"),
                        QStringLiteral("--comment"),
                        QStringLiteral("korvane SFTP test, removed by the test"), user_})
                       .isNull();
    if (!ownAccount_ ||
        Run(QStringLiteral("chpasswd"), {}, (user_ + u':' + password_ + u'\n').toUtf8()).isNull()) {
        error_ = QStringLiteral("could not create the test account %1").arg(user_);
        return false;
    }
    const passwd* account = getpwnam(user_.toLocal8Bit().constData());
    if (account == nullptr ||
        chown(QFile::encodeName(Home()).constData(), account->pw_uid, account->pw_gid) != 0) {
        error_ = QStringLiteral("could not give %1 its home").arg(user_);
        return false;
    }
    return true;
}

bool SshServer::Launch() {
    const int port = -port_;
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    process_->start(QStringLiteral("/usr/sbin/sshd"),
                    {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                     config_.filePath(QStringLiteral("sshd_config")), QStringLiteral("-E"),
                     config_.filePath(QStringLiteral("sshd.log"))});
    if (!process_->waitForStarted(kStartTimeoutMs) || !WaitForListener(port, kStartTimeoutMs)) {
        error_ = QStringLiteral("sshd did not start: %1").arg(QString::fromUtf8(Log()));
        port_ = 0;
        return false;
    }
    port_ = port;
    return true;
}

QByteArray SshServer::Log() const {
    return ReadFile(config_.filePath(QStringLiteral("sshd.log")));
}

void SshServer::Put(const QString& name, const QByteArray& content) const {
    WriteFile(PathOf(name), content);
    const passwd* account = getpwnam(user_.toLocal8Bit().constData());
    if (account != nullptr &&
        chown(QFile::encodeName(PathOf(name)).constData(), account->pw_uid, account->pw_gid) != 0) {
        qWarning("could not give %s to the test account", qPrintable(name));
    }
}

void SshServer::Clear() const {
    QDir home(Home());
    for (const QString& name :
         home.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        QFileInfo(home.filePath(name)).isDir() ? QDir(home.filePath(name)).removeRecursively()
                                               : home.remove(name);
    }
}

QByteArray SshServer::Read(const QString& name) const {
    return ReadFile(PathOf(name));
}

void SshServer::Kill() {
    if (!process_ || process_->state() == QProcess::NotRunning) {
        return;
    }
    const auto listener = static_cast<pid_t>(process_->processId());
    for (const pid_t p : Descendants(listener)) {
        ::kill(p, SIGKILL);
    }
    process_->kill();
    process_->waitForFinished(5000);
}

SshAgent::SshAgent() {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("ssh-agent"),
                   {QStringLiteral("-D"), QStringLiteral("-a"), Socket()});
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired() && process_.state() != QProcess::NotRunning &&
           !QFileInfo::exists(Socket())) {
        QThread::msleep(20);
    }
    started_ = QFileInfo::exists(Socket());
}

SshAgent::~SshAgent() {
    process_.kill();
    process_.waitForFinished(5000);
}

bool SshAgent::Add(const QString& keyFile) const {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SSH_AUTH_SOCK"), Socket());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("ssh-add"), {QStringLiteral("-q"), keyFile});
    return p.waitForFinished(kToolTimeoutMs) && p.exitCode() == 0;
}

}  // namespace korvane::test
