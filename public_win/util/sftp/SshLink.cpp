#include "SshLink.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>

#include <QByteArray>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "FtpSocket.h"
#include "SshDrive.h"
#include "Translate.h"

namespace korvane::sftp {

using store::Fault;
using store::Result;

namespace {
// Ciphers fastest first on processors with AES instructions; every OpenSSH since 6.5 has them.
constexpr const char* kCiphers =
    "aes128-gcm@openssh.com,aes256-gcm@openssh.com,chacha20-poly1305@openssh.com,"
    "aes128-ctr,aes256-ctr";

Result ConnectFailure(const ftp::Status& status, const QString& server) {
    const QString reason = QString::fromStdString(status.text);
    switch (status.code) {
        case ftp::kErrCancelled:
            return Cancelled();
        case ftp::kErrTimeout:
            return Result::Failure(Fault::Timeout, reason, status.code);
        case ftp::kErrNameNotResolved:
            return Result::Failure(Fault::Unreachable,
                                   Tr("korvane", "无法解析服务器名称%1").arg(server), status.code);
        case ECONNREFUSED:
            return Result::Failure(
                Fault::Refused, Tr("korvane", "服务器%1拒绝连接（端口上没有SFTP服务）").arg(server),
                status.code);
        default:
            return Result::Failure(Fault::Unreachable,
                                   Tr("korvane", "无法连接服务器%1：%2")
                                       .arg(server, QString::fromLocal8Bit(strerror(status.code))),
                                   status.code);
    }
}

// The options that keep the session to what the site configured: no ~/.ssh/config, no log.
void SetSessionOptions(ssh_session s, const std::string& host, uint16_t port,
                       const store::Endpoint& endpoint, const SftpOptions& options, int fd,
                       int timeoutMs) {
    const QByteArray user = endpoint.user.toUtf8();
    unsigned int portValue = port;
    int verbosity = SSH_LOG_NOLOG;
    bool no = false;
    ssh_options_set(s, SSH_OPTIONS_PROCESS_CONFIG, &no);
    ssh_options_set(s, SSH_OPTIONS_LOG_VERBOSITY, &verbosity);
    ssh_options_set(s, SSH_OPTIONS_HOST, host.c_str());
    ssh_options_set(s, SSH_OPTIONS_PORT, &portValue);
    ssh_options_set(s, SSH_OPTIONS_USER, user.constData());
    ssh_options_set(s, SSH_OPTIONS_FD, &fd);
    // A backstop only: the session runs non-blocking and every wait has its own bound.
    long seconds = (timeoutMs + 999) / 1000;
    ssh_options_set(s, SSH_OPTIONS_TIMEOUT, &seconds);
    ssh_options_set(s, SSH_OPTIONS_CIPHERS_C_S, kCiphers);
    ssh_options_set(s, SSH_OPTIONS_CIPHERS_S_C, kCiphers);
    // The key types that the known-hosts files hold for the host are asked for first.
    const QStringList& files = options.knownHostsFiles;
    const QByteArray user0 = files.value(0, QStringLiteral("/dev/null")).toLocal8Bit();
    const QByteArray global =
        files.value(1, files.value(0, QStringLiteral("/dev/null"))).toLocal8Bit();
    ssh_options_set(s, SSH_OPTIONS_KNOWNHOSTS, user0.constData());
    ssh_options_set(s, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, global.constData());
}

struct KeyOffered {
    QString type;
    QString fingerprint;  // "SHA256:<base64>"
};

bool ReadServerKey(ssh_session s, KeyOffered* out) {
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(s, &key) != SSH_OK) {
        return false;
    }
    unsigned char* hash = nullptr;
    size_t length = 0;
    const int rc = ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length);
    out->type = QString::fromLatin1(ssh_key_type_to_char(ssh_key_type(key)));
    ssh_key_free(key);
    if (rc != SSH_OK) {
        return false;
    }
    char* text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
    out->fingerprint = QString::fromLatin1(text);
    ssh_string_free_char(text);
    ssh_clean_pubkey_hash(&hash);
    return true;
}

// How the known-hosts files judge the key: the best answer of any of them.
ssh_known_hosts_e KnownHostsVerdict(ssh_session s, const QStringList& files) {
    ssh_known_hosts_e verdict = SSH_KNOWN_HOSTS_UNKNOWN;
    for (const QString& file : files) {
        const QByteArray path = file.toLocal8Bit();
        ssh_options_set(s, SSH_OPTIONS_KNOWNHOSTS, path.constData());
        ssh_options_set(s, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, path.constData());
        const ssh_known_hosts_e answer = ssh_session_is_known_server(s);
        if (answer == SSH_KNOWN_HOSTS_OK) {
            return answer;
        }
        if (answer == SSH_KNOWN_HOSTS_CHANGED || answer == SSH_KNOWN_HOSTS_OTHER) {
            verdict = SSH_KNOWN_HOSTS_CHANGED;
        }
    }
    return verdict;
}
}  // namespace

Deadline::Deadline(store::Clock& clock, int timeoutMs, const std::atomic<bool>* cancel)
    : clock_(&clock), timeoutMs_(timeoutMs), start_(clock.Ticks()), cancel_(cancel) {}

int Deadline::SliceMs() const {
    const long long left = static_cast<long long>(timeoutMs_) - Elapsed();
    return static_cast<int>(std::clamp<long long>(left, 0, kCancelSliceMs));
}

Result Cancelled() {
    return Result::Failure(Fault::Cancelled, Tr("korvane", "操作已取消"));
}

Result TimedOut(const QString& what, int timeoutMs) {
    return Result::Failure(Fault::Timeout,
                           Tr("korvane", "%1超时（%2秒）").arg(what).arg((timeoutMs + 999) / 1000));
}

SshLink::~SshLink() {
    Close();
}

void SshLink::Close() {
    if (channel_ != nullptr) {
        ssh_channel_free(channel_);
        channel_ = nullptr;
    }
    if (session_ != nullptr) {
        // A goodbye is queued, not awaited: a dead server must not hold the close up.
        ssh_disconnect(session_);
        ssh_free(session_);
        session_ = nullptr;
    }
}

void SshLink::WaitForSocket(int ms) const {
    const int flags = ssh_get_poll_flags(session_);
    pollfd p{ssh_get_fd(session_), POLLIN, 0};
    if (flags & SSH_WRITE_PENDING) {
        p.events = static_cast<short>(p.events | POLLOUT);
    }
    poll(&p, 1, ms);
}

QString SshLink::Error() const {
    return session_ != nullptr ? QString::fromUtf8(ssh_get_error(session_)) : QString();
}

Result SshLink::Open(const store::Endpoint& endpoint, const SftpOptions& options,
                     const store::Timeouts& timeouts, store::Clock& clock,
                     const std::atomic<bool>* cancel) {
    Close();
    clock_ = &clock;
    server_ = endpoint.server;
    Result r = Connect(endpoint, options, timeouts, cancel);
    if (r.Ok()) {
        r = CheckHostKey(options);
    }
    if (r.Ok()) {
        r = Authenticate(endpoint, options, timeouts.replyMs, cancel);
    }
    if (r.Ok()) {
        r = OpenChannel(timeouts.replyMs, cancel);
    }
    if (!r.Ok()) {
        Close();
    }
    return r;
}

Result SshLink::Connect(const store::Endpoint& endpoint, const SftpOptions& options,
                        const store::Timeouts& timeouts, const std::atomic<bool>* cancel) {
    std::string host;
    uint16_t port = 22;
    if (!ftp::SplitHostPort(endpoint.server.toStdString(), host, port, 22)) {
        return Result::Failure(Fault::Unreachable,
                               Tr("korvane", "服务器地址“%1”无法识别").arg(endpoint.server));
    }
    ftp::Socket socket;
    const ftp::Wait wait{timeouts.connectMs, ftp::waits::kConnect, cancel};
    const ftp::Status connected = ftp::ConnectTcp(host, port, wait, socket);
    if (!connected.Ok()) {
        return ConnectFailure(connected, endpoint.server);
    }
    // Requests go out at once rather than wait for the acknowledgement of the bytes before.
    int on = 1;
    setsockopt(socket.Fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    session_ = ssh_new();
    SetSessionOptions(session_, host, port, endpoint, options, socket.Release(), timeouts.replyMs);
    ssh_set_blocking(session_, 0);
    int rc = SSH_ERROR;
    const Result r = Drive([this] { return ssh_connect(session_); }, SSH_AGAIN, &rc,
                           Deadline(*clock_, timeouts.replyMs, cancel), Tr("korvane", "SSH握手"));
    if (r.Ok() && rc != SSH_OK) {
        return Result::Failure(Fault::Broken,
                               Tr("korvane", "与服务器%1的SSH握手失败：%2").arg(server_, Error()));
    }
    return r;
}

Result SshLink::CheckHostKey(const SftpOptions& options) {
    KeyOffered key;
    if (!ReadServerKey(session_, &key)) {
        return Result::Failure(
            Fault::HostKey, Tr("korvane", "无法读取服务器%1的主机密钥：%2").arg(server_, Error()));
    }
    if (options.hostKeys.contains(key.fingerprint)) {
        return Result::Success();
    }
    const ssh_known_hosts_e verdict = KnownHostsVerdict(session_, options.knownHostsFiles);
    if (verdict == SSH_KNOWN_HOSTS_OK) {
        return Result::Success();
    }
    const QString text =
        verdict == SSH_KNOWN_HOSTS_CHANGED
            ? Tr("korvane",
                 "服务器%1的主机密钥已改变（%2 "
                 "%3），与known_hosts中记录的不同，可能遭到中间人攻击，"
                 "未发送任何登录信息。确认密钥无误后，请在系统参数korvane_sftp_"
                 "hostkey中设置该指纹，"
                 "或更新~/.ssh/known_hosts或/etc/ssh/ssh_known_hosts中的记录。")
            : Tr("korvane",
                 "服务器%1的主机密钥未知（%2 %3），未发送任何登录信息。确认密钥无误后，请在系统参数"
                 "korvane_sftp_hostkey中设置该指纹，或将该密钥加入~/.ssh/known_hosts或"
                 "/etc/ssh/ssh_known_hosts。");
    return Result::Failure(Fault::HostKey, text.arg(server_, key.type, key.fingerprint));
}

Result SshLink::OpenChannel(int timeoutMs, const std::atomic<bool>* cancel) {
    channel_ = ssh_channel_new(session_);
    const Deadline deadline(*clock_, timeoutMs, cancel);
    const QString what = Tr("korvane", "打开SFTP通道");
    int rc = SSH_ERROR;
    Result r = Drive([this] { return ssh_channel_open_session(channel_); }, SSH_AGAIN, &rc,
                     deadline, what);
    if (r.Ok() && rc == SSH_OK) {
        r = Drive([this] { return ssh_channel_request_subsystem(channel_, "sftp"); }, SSH_AGAIN,
                  &rc, deadline, what);
    }
    if (r.Ok() && rc != SSH_OK) {
        return Result::Failure(Fault::Server,
                               Tr("korvane", "服务器%1未提供SFTP服务：%2").arg(server_, Error()));
    }
    return r;
}

}  // namespace korvane::sftp
