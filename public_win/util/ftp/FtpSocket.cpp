#include "FtpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace ftp {

namespace {
thread_local int tLastError = 0;
thread_local std::string tLastErrorText;
thread_local const std::atomic<bool>* tCancel = nullptr;
std::atomic<TranslateHook> gTranslate{nullptr};

// The waits' names as the translation tools see them.
[[maybe_unused]] void WaitNames() {
    Tr("ftp", "连接服务器");
    Tr("ftp", "等待服务器应答");
    Tr("ftp", "等待数据连接");
    Tr("ftp", "读取数据");
    Tr("ftp", "发送数据");
}

bool SetBlocking(int fd, bool blocking) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    return fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}

// One attempt at one resolved address; 0 on success, else an error number (errno, such as
// ECONNREFUSED, or kErrTimeout with its text).
int TryConnect(const addrinfo* ai, int timeoutMs, Socket& out) {
    Socket s(socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol));
    if (!s.Valid()) {
        return errno;
    }
    SetBlocking(s.Fd(), false);
    if (connect(s.Fd(), ai->ai_addr, ai->ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            return errno;
        }
        if (!WaitFor(s.Fd(), POLLOUT, timeoutMs, waits::kConnect)) {
            return LastError();
        }
        int soError = 0;
        socklen_t len = sizeof soError;
        getsockopt(s.Fd(), SOL_SOCKET, SO_ERROR, &soError, &len);
        if (soError != 0) {
            return soError;
        }
    }
    out = std::move(s);
    return 0;
}
}  // namespace

int LastError() {
    return tLastError;
}
void SetLastError(int code) {
    tLastError = code;
    tLastErrorText.clear();
}
const std::string& LastErrorText() {
    return tLastErrorText;
}
SavedError::SavedError() : code(tLastError), text(tLastErrorText) {}
void SavedError::Restore() const {
    tLastError = code;
    tLastErrorText = text;
}

void SetOwnError(int code, const std::string& text) {
    tLastError = code;
    tLastErrorText = text;
}

void SetTranslateHook(TranslateHook hook) {
    gTranslate.store(hook);
}

std::string Tr(const char* context, const char* source) {
    const TranslateHook hook = gTranslate.load();
    return hook != nullptr ? hook(context, source) : std::string(source);
}

std::string Arg(std::string pattern, std::initializer_list<std::string> args) {
    int n = 1;
    for (const std::string& arg : args) {
        const std::string marker = "%" + std::to_string(n++);
        const std::size_t at = pattern.find(marker);
        if (at != std::string::npos) {
            pattern.replace(at, marker.size(), arg);
        }
    }
    return pattern;
}

std::string OwnErrorText(int code) {
    switch (code) {
        case kErrConnectionAborted:
            return Tr("ftp", "连接被服务器断开");
        case kErrProtocol:
            return Tr("ftp", "服务器的应答无法识别");
        case kErrBadName:
            return Tr("ftp", "名称中含有换行符");
        case kErrCancelled:
            return Tr("ftp", "操作已取消");
        default:
            return std::string();
    }
}

void SetTimeoutError(const char* what, int timeoutMs) {
    SetLastError(kErrTimeout);
    const int seconds = (timeoutMs + 999) / 1000;
    tLastErrorText = Arg(Tr("ftp", "%1超时（%2秒）"), {Tr("ftp", what), std::to_string(seconds)});
}

CancelScope::CancelScope(const std::atomic<bool>* flag) : previous_(tCancel) {
    tCancel = flag;
}
CancelScope::~CancelScope() {
    tCancel = previous_;
}

bool Cancelled() {
    if (tCancel == nullptr || !tCancel->load(std::memory_order_relaxed)) {
        return false;
    }
    SetOwnError(kErrCancelled, OwnErrorText(kErrCancelled));
    return true;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

int Socket::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Socket::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool WaitFor(int fd, short events, int timeoutMs, const char* what) {
    pollfd p{fd, events, 0};
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (Cancelled()) {
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        // Short slices while someone may cancel; else one wait for the whole time.
        const int slice = tCancel != nullptr
                              ? static_cast<int>(std::clamp<long>(left, 0, kCancelPollMs))
                              : static_cast<int>(std::max<long>(left, 0));
        const int n = poll(&p, 1, slice);
        if (n > 0) {
            return true;  // readiness or an error condition: the next call tells which
        }
        if (n == 0 && slice >= left) {
            SetTimeoutError(what, timeoutMs);
            return false;
        }
        if (n == 0) {
            continue;
        }
        if (errno != EINTR) {
            SetLastError(errno);
            return false;
        }
    }
}

bool ConnectTcp(const std::string& host, uint16_t port, int timeoutMs, Socket& out) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    if (host.empty() || getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) {
        SetLastError(kErrNameNotResolved);
        return false;
    }
    int error = kErrCannotConnect;
    std::string text;
    for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        error = TryConnect(ai, timeoutMs, out);
        if (error == 0) {
            break;
        }
        text = LastErrorText();
    }
    freeaddrinfo(list);
    if (error != 0) {
        SetLastError(error);
        tLastErrorText = error == kErrTimeout ? text : std::string();
        return false;
    }
    return true;
}

long ReceiveSome(int fd, char* buffer, std::size_t n, int timeoutMs, const char* what) {
    // The read comes first: data that is there already costs no wait (and no poll).
    for (;;) {
        if (Cancelled()) {
            return -1;
        }
        const ssize_t got = recv(fd, buffer, n, 0);
        if (got >= 0) {
            return static_cast<long>(got);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!WaitFor(fd, POLLIN, timeoutMs, what)) {
                return -1;
            }
        } else if (errno != EINTR) {
            SetLastError(errno == ECONNRESET ? kErrConnectionAborted : errno);
            return -1;
        }
    }
}

bool SendAll(int fd, const char* data, std::size_t n, int timeoutMs, std::size_t* sent,
             const char* what) {
    std::size_t done = 0;
    while (done < n && !Cancelled()) {
        const ssize_t k = send(fd, data + done, n - done, MSG_NOSIGNAL);
        if (k > 0) {
            done += static_cast<std::size_t>(k);
        } else if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(fd, POLLOUT, timeoutMs, what)) {
                break;
            }
        } else if (k < 0 && errno != EINTR) {
            SetLastError((errno == EPIPE || errno == ECONNRESET) ? kErrConnectionAborted : errno);
            break;
        }
    }
    if (sent != nullptr) {
        *sent = done;
    }
    return done == n;
}

bool ListenBeside(int controlFd, Socket& listener, sockaddr_storage& address) {
    socklen_t len = sizeof address;
    if (getsockname(controlFd, reinterpret_cast<sockaddr*>(&address), &len) != 0) {
        SetLastError(errno);
        return false;
    }
    if (address.ss_family == AF_INET) {
        reinterpret_cast<sockaddr_in*>(&address)->sin_port = 0;
    } else {
        reinterpret_cast<sockaddr_in6*>(&address)->sin6_port = 0;
    }
    Socket s(socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!s.Valid() || bind(s.Fd(), reinterpret_cast<sockaddr*>(&address), len) != 0 ||
        listen(s.Fd(), 1) != 0 ||
        getsockname(s.Fd(), reinterpret_cast<sockaddr*>(&address), &len) != 0) {
        SetLastError(errno);
        return false;
    }
    listener = std::move(s);
    return true;
}

namespace {
// The address of a socket address as bytes, an IPv4-mapped IPv6 address as its IPv4 form.
std::string HostBytes(const sockaddr_storage& a) {
    if (a.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(a).sin_addr;
        return std::string(reinterpret_cast<const char*>(&in), sizeof in);
    }
    if (a.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(a).sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&in6)) {
            return std::string(reinterpret_cast<const char*>(&in6) + 12, 4);
        }
        return std::string(reinterpret_cast<const char*>(&in6), sizeof in6);
    }
    return std::string();
}
}  // namespace

bool AcceptWithin(int listenerFd, int timeoutMs, Socket& out, int controlFd) {
    sockaddr_storage server{};
    socklen_t len = sizeof server;
    if (getpeername(controlFd, reinterpret_cast<sockaddr*>(&server), &len) != 0) {
        SetLastError(errno);
        return false;
    }
    const std::string expected = HostBytes(server);
    SetBlocking(listenerFd, false);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (!WaitFor(listenerFd, POLLIN, static_cast<int>(std::max<long>(left, 0)),
                     waits::kAccept)) {
            // The message names the whole wait, not the rest after a refused stranger.
            if (LastError() == kErrTimeout) {
                SetTimeoutError(waits::kAccept, timeoutMs);
            }
            return false;
        }
        sockaddr_storage peer{};
        socklen_t peerLen = sizeof peer;
        const int fd =
            accept4(listenerFd, reinterpret_cast<sockaddr*>(&peer), &peerLen, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) {
                continue;
            }
            SetLastError(errno);
            return false;
        }
        Socket accepted(fd);
        // Anyone may connect to the port the PORT command names; only the server's connection
        // carries the file. Another is closed unread and the wait goes on.
        if (HostBytes(peer) == expected) {
            out = std::move(accepted);
            SetBlocking(fd, false);
            return true;
        }
    }
}

bool ConnectToPeer(int controlFd, uint16_t port, int timeoutMs, Socket& out) {
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    if (getpeername(controlFd, reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
        SetLastError(errno);
        return false;
    }
    if (peer.ss_family == AF_INET) {
        reinterpret_cast<sockaddr_in*>(&peer)->sin_port = htons(port);
    } else {
        reinterpret_cast<sockaddr_in6*>(&peer)->sin6_port = htons(port);
    }
    addrinfo ai{};
    ai.ai_family = peer.ss_family;
    ai.ai_socktype = SOCK_STREAM;
    ai.ai_addr = reinterpret_cast<sockaddr*>(&peer);
    ai.ai_addrlen = len;
    const int error = TryConnect(&ai, timeoutMs, out);
    if (error != 0) {
        SetLastError(error);
        if (error == kErrTimeout) {
            SetTimeoutError(waits::kAccept, timeoutMs);
        }
        return false;
    }
    return true;
}

std::string PortCommand(const sockaddr_storage& address) {
    char host[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
        const auto* a = reinterpret_cast<const unsigned char*>(&in->sin_addr);
        const unsigned port = ntohs(in->sin_port);
        return "PORT " + std::to_string(a[0]) + "," + std::to_string(a[1]) + "," +
               std::to_string(a[2]) + "," + std::to_string(a[3]) + "," + std::to_string(port >> 8) +
               "," + std::to_string(port & 0xFF);
    }
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&address);
    inet_ntop(AF_INET6, &in6->sin6_addr, host, sizeof host);
    return "EPRT |2|" + std::string(host) + "|" + std::to_string(ntohs(in6->sin6_port)) + "|";
}

bool SplitHostPort(const std::string& server, std::string& host, uint16_t& port,
                   uint16_t defaultPort) {
    port = defaultPort;
    std::string rest;
    if (!server.empty() && server.front() == '[') {
        const auto close = server.find(']');
        if (close == std::string::npos) {
            return false;
        }
        host = server.substr(1, close - 1);
        rest = server.substr(close + 1);
        if (rest.empty()) {
            return true;
        }
        if (rest.front() != ':') {
            return false;
        }
        rest.erase(0, 1);
    } else {
        const auto colon = server.find(':');
        if (colon == std::string::npos || server.find(':', colon + 1) != std::string::npos) {
            host = server;  // a name, an IPv4 address, or a bare IPv6 address
            return true;
        }
        host = server.substr(0, colon);
        rest = server.substr(colon + 1);
    }
    if (rest.empty() || rest.size() > 5 ||
        rest.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const unsigned long value = std::stoul(rest);
    if (value == 0 || value > 65535) {
        return false;
    }
    port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace ftp
