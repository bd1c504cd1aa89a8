#pragma once

#include <atomic>
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

// What each network wait is for, as the timeout text names it (translated when it is named).
namespace waits {
constexpr const char* kConnect = "连接服务器";
constexpr const char* kReply = "等待服务器应答";
constexpr const char* kAccept = "等待数据连接";
constexpr const char* kRead = "读取数据";
constexpr const char* kWrite = "发送数据";
}  // namespace waits

// The outcome of a call: success (code 0), or the error number and, where the layer has words
// of its own for it, its text (a timeout says of what and after how long).
struct Status {
    int code = 0;
    std::string text;

    bool Ok() const { return code == 0; }
    // An errno value or one of the layer's errors, without words of its own.
    static Status Of(int code) { return Status{code, std::string()}; }
    static Status Own(int code, std::string text) { return Status{code, std::move(text)}; }
    // kErrTimeout with the text "<what>超时（N秒）"; what is one of the waits above.
    static Status Timeout(const char* what, int timeoutMs);
    static Status Cancelled();
};

// One network wait: its bound, what it is for, and the operator's cancel flag (null: none),
// which it looks at at least every kCancelPollMs.
struct Wait {
    int timeoutMs = 0;
    const char* what = waits::kReply;
    const std::atomic<bool>* cancel = nullptr;

    Wait For(int ms, const char* purpose) const { return Wait{ms, purpose, cancel}; }
    // Whether the operator asked to stop.
    bool CancelRequested() const {
        return cancel != nullptr && cancel->load(std::memory_order_relaxed);
    }
};
constexpr int kCancelPollMs = 100;
// How long the end of a transfer that broke or stalled may take, the end of its data connection
// and the server's last word (426, 451) together: short enough that the transfer ends within
// its timeout and a second, whatever the cleanup around it costs.
constexpr int kLastWordMs = 800;

// The layer's texts for the operator, in the language the application chose: a hook (installed
// by the GUI layer, see FtpOptions.h) translates the Chinese source text; without one the source
// text stands. Written as Tr("ftp", "...") so that the translation tools find every text.
std::string Tr(const char* context, const char* source);
// pattern with %1, %2, ... replaced by args in order.
std::string Arg(std::string pattern, std::initializer_list<std::string> args);
// The text of one of the layer's own errors that carries none of its own (a closed connection);
// empty for those whose reason is the server's reply or the caller's own words (a name that did
// not resolve: the client names the host it could not reach).
std::string OwnErrorText(int code);

}  // namespace ftp
