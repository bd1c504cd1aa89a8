#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FtpOptions.h"
#include "FtpTransport.h"

struct ssl_ctx_st;
struct ssl_session_st;

namespace ftp {

constexpr uint16_t kImplicitTlsPort = 990;

// The 32 bytes of a SHA-256 fingerprint written as 64 hex digits, colons between bytes allowed.
std::optional<std::string> ParseFingerprint(const std::string& text);

// The client side of TLS for one session: what it trusts, the name it expects, and the latest
// session, which every data connection resumes (servers such as vsftpd refuse one that does
// not). TLS 1.2 and later.
class TlsContext {
public:
    // kErrSecureChannel and its text when the settings cannot be used.
    static Status Create(const TlsSettings& settings, const std::string& host,
                         std::unique_ptr<TlsContext>* out);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    // Handshakes as the client over stream within the wait and checks the certificate, and
    // replaces stream by the secured one; resume offers the latest session. On failure stream
    // is gone (kErrSecureChannel: the reason of OpenSSL, such as "certificate verify failed:
    // self-signed certificate").
    Status Secure(std::unique_ptr<Transport>& stream, const Wait& wait, bool resume);

    // Keeps session as the one to resume (OpenSSL's new-session callback).
    void Remember(ssl_session_st* session);
    // The names of the cipher suites a handshake offers, in order.
    std::vector<std::string> OfferedSuites() const;

private:
    TlsContext(ssl_ctx_st* ctx, std::string host, std::string pin);
    // The pinned fingerprint, when there is one, against the peer's certificate.
    Status CheckPin(void* ssl) const;

    ssl_ctx_st* ctx_;
    std::string host_;
    std::string pin_;  // 32 raw bytes, or empty
    ssl_session_st* latest_ = nullptr;
};

}  // namespace ftp
