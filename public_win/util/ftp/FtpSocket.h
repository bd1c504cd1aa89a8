#pragma once

#include <sys/socket.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace ftp {

// Error numbers of the protocol layer. Values below kOwnErrorBase are errno values of the
// operating system; the layer's own (name not resolved, refused, timed out, ...) have no
// system text, as with the original internet-client library.
enum : int {
    kOwnErrorBase = 12000,
    kErrTimeout = 12002,
    kErrNameNotResolved = 12007,
    kErrProtocol = 12152,  // the server's reply could not be understood
    kErrLoginFailure = 12015,
    kErrCannotConnect = 12029,
    kErrConnectionAborted = 12030,
    kErrBadName = 12031,        // a name or command with CR or LF, which would split the command
    kErrCommandFailed = 12003,  // the server refused; the reply says why
    kErrUnencodable = 12032,    // a name has no bytes in the server's encoding
    kErrSecureChannel = 12157,  // TLS failed: the handshake, the certificate or its pin
    kErrCancelled = 12017,      // the operator cancelled the operation
    // Active mode's data connection failed: PORT/EPRT refused, a 425 reply, or no connection
    // from the server in time. Only where active mode was chosen ("auto" falls back instead).
    kErrActiveDataFailed = 12033,
};

// The layer's texts for the operator, in the language the application chose: a hook (installed
// by the GUI layer) translates the Chinese source text; without one the source text stands.
// Written as Tr("ftp", "...") so that the translation tools find every text.
using TranslateHook = std::string (*)(const char* context, const char* source);
void SetTranslateHook(TranslateHook hook);
std::string Tr(const char* context, const char* source);
// pattern with %1, %2, ... replaced by args in order.
std::string Arg(std::string pattern, std::initializer_list<std::string> args);
// The text of one of the layer's own errors that carries none of its own (a closed connection);
// empty for those whose reason is the server's reply or the caller's own words (a name that did
// not resolve: the client names the host it could not reach).
std::string OwnErrorText(int code);

// The calling thread's last error number (errno or one of the values above).
int LastError();
void SetLastError(int code);
// The text of the layer's own last error where it has one (a timeout says of what and after how
// long); empty for errno values and for the own errors that have no text.
const std::string& LastErrorText();
// kErrTimeout with the text "<what>超时（N秒）"; what is one of the waits below.
void SetTimeoutError(const char* what, int timeoutMs);
// One of the layer's own errors with its text.
void SetOwnError(int code, const std::string& text);

// The calling thread's cancel flag while the scope lives: every network wait looks at it at least
// every kCancelPollMs and ends with kErrCancelled once it is set.
class CancelScope {
public:
    explicit CancelScope(const std::atomic<bool>* flag);
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

private:
    const std::atomic<bool>* previous_;
};
constexpr int kCancelPollMs = 100;
// Whether the calling thread's operation was cancelled; when it was, sets kErrCancelled.
bool Cancelled();

// The thread's last error, kept across steps that would replace it.
struct SavedError {
    SavedError();
    void Restore() const;
    int code;
    std::string text;
};

// What each network wait is for, as the timeout text names it (translated when it is named).
namespace waits {
constexpr const char* kConnect = "连接服务器";
constexpr const char* kReply = "等待服务器应答";
constexpr const char* kAccept = "等待数据连接";
constexpr const char* kRead = "读取数据";
constexpr const char* kWrite = "发送数据";
}  // namespace waits

// A socket descriptor that closes itself.
class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { Close(); }
    Socket(Socket&& other) noexcept : fd_(other.Release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();
    void Close();

private:
    int fd_ = -1;
};

// Connects to host:port within timeoutMs, trying every address the name resolves to.
// On failure sets LastError (kErrNameNotResolved, kErrCannotConnect or kErrTimeout).
bool ConnectTcp(const std::string& host, uint16_t port, int timeoutMs, Socket& out);

// Waits until fd is readable (events POLLIN) or writable (POLLOUT); false on timeout (LastError
// kErrTimeout) or error.
bool WaitFor(int fd, short events, int timeoutMs, const char* what);

// Receives what is there, up to n bytes, waiting at most timeoutMs. Returns the count (0 at the
// orderly end of the stream) or -1 with LastError set.
long ReceiveSome(int fd, char* buffer, std::size_t n, int timeoutMs, const char* what);

// Sends all n bytes, waiting at most timeoutMs for room each time; *sent receives how many went
// out. False on error or timeout (LastError set). A reset peer never raises SIGPIPE.
bool SendAll(int fd, const char* data, std::size_t n, int timeoutMs, std::size_t* sent,
             const char* what);

// A listening socket for an active-mode data connection on the local address of control.
bool ListenBeside(int controlFd, Socket& listener, sockaddr_storage& address);
// Accepts the data connection of the server at the other end of control, within timeoutMs in
// all; a connection from any other address is closed and the wait goes on.
bool AcceptWithin(int listenerFd, int timeoutMs, Socket& out, int controlFd);

// A passive-mode data connection: to port on the control connection's peer, whatever address
// the server named (behind NAT it names one the client cannot reach).
bool ConnectToPeer(int controlFd, uint16_t port, int timeoutMs, Socket& out);

// The text of a PORT (IPv4) or EPRT (IPv6) command that names address.
std::string PortCommand(const sockaddr_storage& address);

// Splits "host", "host:port", "[v6]" and "[v6]:port"; a bare IPv6 address has no port.
bool SplitHostPort(const std::string& server, std::string& host, uint16_t& port,
                   uint16_t defaultPort);

}  // namespace ftp
