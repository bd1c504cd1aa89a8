#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FtpTransport.h"

struct ssl_ctx_st;
struct ssl_session_st;

namespace ftp {

// off: plain FTP. explicit: AUTH TLS before the login, refused means failed. auto: AUTH TLS
// where the server accepts it, else plain. implicit: TLS from the first byte.
enum class TlsMode { Off, Explicit, Auto, Implicit };

constexpr uint16_t kImplicitTlsPort = 990;

struct TlsSettings {
    TlsMode mode = TlsMode::Off;
    std::string caFile;       // PEM certificates to trust; empty: the system's store
    std::string fingerprint;  // SHA-256 of the server's certificate: pins it, no CA check
};

// The 32 bytes of a SHA-256 fingerprint written as 64 hex digits, colons between bytes allowed.
std::optional<std::string> ParseFingerprint(const std::string& text);

// The client side of TLS for one session: what it trusts, the name it expects, and the latest
// session, which every data connection resumes (servers such as vsftpd refuse one that does
// not). TLS 1.2 and later.
class TlsContext {
public:
    // Null with LastError kErrSecureChannel and its text when the settings cannot be used.
    static std::unique_ptr<TlsContext> Create(const TlsSettings& settings, const std::string& host);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    // Handshakes as the client over beneath within timeoutMs and checks the certificate; resume
    // offers the latest session. Null with LastError set (kErrSecureChannel: the reason of
    // OpenSSL, such as "certificate verify failed: self-signed certificate").
    std::unique_ptr<Transport> Secure(std::unique_ptr<Transport> beneath, int timeoutMs,
                                      bool resume);

    // Keeps session as the one to resume (OpenSSL's new-session callback).
    void Remember(ssl_session_st* session);
    // The names of the cipher suites a handshake offers, in order.
    std::vector<std::string> OfferedSuites() const;

private:
    TlsContext(ssl_ctx_st* ctx, std::string host, std::string pin);
    // The pinned fingerprint, when there is one, against the peer's certificate.
    bool CheckPin(void* ssl) const;

    ssl_ctx_st* ctx_;
    std::string host_;
    std::string pin_;  // 32 raw bytes, or empty
    ssl_session_st* latest_ = nullptr;
};

}  // namespace ftp
