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

bool SetBlocking(int fd, bool blocking) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    return fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}

// One attempt at one resolved address (a system error such as ECONNREFUSED, or kErrTimeout).
Status TryConnect(const addrinfo* ai, const Wait& wait, Socket& out) {
    Socket s(socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol));
    if (!s.Valid()) {
        return Status::Of(errno);
    }
    SetBlocking(s.Fd(), false);
    if (connect(s.Fd(), ai->ai_addr, ai->ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            return Status::Of(errno);
        }
        Status ready = WaitFor(s.Fd(), POLLOUT, wait);
        if (!ready.Ok()) {
            return ready;
        }
        int soError = 0;
        socklen_t len = sizeof soError;
        getsockopt(s.Fd(), SOL_SOCKET, SO_ERROR, &soError, &len);
        if (soError != 0) {
            return Status::Of(soError);
        }
    }
    out = std::move(s);
    return Status();
}
}  // namespace

Status WaitFor(int fd, short events, const Wait& wait) {
    pollfd p{fd, events, 0};
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait.timeoutMs);
    for (;;) {
        if (wait.CancelRequested()) {
            return Status::Cancelled();
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        // Short slices while someone may cancel; else one wait for the whole time.
        const int slice = wait.cancel != nullptr
                              ? static_cast<int>(std::clamp<long>(left, 0, kCancelPollMs))
                              : static_cast<int>(std::max<long>(left, 0));
        const int n = poll(&p, 1, slice);
        if (n > 0) {
            return Status();  // readiness or an error condition: the next call tells which
        }
        if (n == 0 && slice >= left) {
            return Status::Timeout(wait.what, wait.timeoutMs);
        }
        if (n < 0 && errno != EINTR) {
            return Status::Of(errno);
        }
    }
}

Status ConnectTcp(const std::string& host, uint16_t port, const Wait& wait, Socket& out) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    if (host.empty() || getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) {
        return Status::Of(kErrNameNotResolved);
    }
    Status status = Status::Of(kErrCannotConnect);
    for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        status = TryConnect(ai, wait, out);
        if (status.Ok() || status.code == kErrCancelled) {
            break;
        }
    }
    freeaddrinfo(list);
    return status;
}

Status ReceiveSome(int fd, char* buffer, std::size_t n, const Wait& wait, std::size_t* got) {
    *got = 0;
    // The read comes first: data that is there already costs no wait (and no poll).
    for (;;) {
        if (wait.CancelRequested()) {
            return Status::Cancelled();
        }
        const ssize_t k = recv(fd, buffer, n, 0);
        if (k >= 0) {
            *got = static_cast<std::size_t>(k);
            return Status();
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            Status ready = WaitFor(fd, POLLIN, wait);
            if (!ready.Ok()) {
                return ready;
            }
        } else if (errno != EINTR) {
            return Status::Of(errno == ECONNRESET ? kErrConnectionAborted : errno);
        }
    }
}

Status SendAll(int fd, const char* data, std::size_t n, const Wait& wait, std::size_t* sent) {
    std::size_t done = 0;
    Status status;
    while (done < n && status.Ok()) {
        if (wait.CancelRequested()) {
            status = Status::Cancelled();
            break;
        }
        const ssize_t k = send(fd, data + done, n - done, MSG_NOSIGNAL);
        if (k > 0) {
            done += static_cast<std::size_t>(k);
        } else if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            status = WaitFor(fd, POLLOUT, wait);
        } else if (k < 0 && errno != EINTR) {
            status =
                Status::Of((errno == EPIPE || errno == ECONNRESET) ? kErrConnectionAborted : errno);
        }
    }
    if (sent != nullptr) {
        *sent = done;
    }
    return status;
}

Status ListenBeside(int controlFd, Socket& listener, sockaddr_storage& address) {
    socklen_t len = sizeof address;
    if (getsockname(controlFd, reinterpret_cast<sockaddr*>(&address), &len) != 0) {
        return Status::Of(errno);
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
        return Status::Of(errno);
    }
    listener = std::move(s);
    return Status();
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

// The peer of a connected socket.
Status PeerOf(int fd, sockaddr_storage& peer, socklen_t& len) {
    len = sizeof peer;
    return getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) == 0 ? Status()
                                                                          : Status::Of(errno);
}
}  // namespace

Status AcceptWithin(int listenerFd, const Wait& wait, Socket& out, int controlFd) {
    sockaddr_storage server{};
    socklen_t len = 0;
    if (Status known = PeerOf(controlFd, server, len); !known.Ok()) {
        return known;
    }
    const std::string expected = HostBytes(server);
    SetBlocking(listenerFd, false);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wait.timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        Status ready = WaitFor(listenerFd, POLLIN,
                               wait.For(static_cast<int>(std::max<long>(left, 0)), waits::kAccept));
        if (!ready.Ok()) {
            // The message names the whole wait, not the rest after a refused stranger.
            return ready.code == kErrTimeout ? Status::Timeout(waits::kAccept, wait.timeoutMs)
                                             : ready;
        }
        sockaddr_storage peer{};
        socklen_t peerLen = sizeof peer;
        const int fd =
            accept4(listenerFd, reinterpret_cast<sockaddr*>(&peer), &peerLen, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) {
                continue;
            }
            return Status::Of(errno);
        }
        Socket accepted(fd);
        // Anyone may connect to the port the PORT command names; only the server's connection
        // carries the file. Another is closed unread and the wait goes on.
        if (HostBytes(peer) == expected) {
            out = std::move(accepted);
            SetBlocking(fd, false);
            return Status();
        }
    }
}

Status ConnectToPeer(int controlFd, uint16_t port, const Wait& wait, Socket& out) {
    sockaddr_storage peer{};
    socklen_t len = 0;
    if (Status known = PeerOf(controlFd, peer, len); !known.Ok()) {
        return known;
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
    return TryConnect(&ai, wait.For(wait.timeoutMs, waits::kAccept), out);
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
