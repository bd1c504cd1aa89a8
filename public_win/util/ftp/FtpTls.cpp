#include "FtpTls.h"
#include "FtpWaitBudget.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace ftp {

namespace {

constexpr int kDrainWaitMs = 1000;
constexpr std::size_t kDrainLimit = 65536;

// The reason of the failed TLS step: OpenSSL's last error, with the certificate check's own
// text where the check failed.
Status TlsError(SSL* ssl) {
    const unsigned long code = ERR_peek_last_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    std::string text = reason != nullptr ? reason : "TLS handshake failed";
    const long verify = ssl != nullptr ? SSL_get_verify_result(ssl) : X509_V_OK;
    if (verify != X509_V_OK) {
        text += std::string(": ") + X509_verify_cert_error_string(verify);
    }
    ERR_clear_error();
    return Status::Own(kErrSecureChannel, text);
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char pair[4];
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        std::snprintf(pair, sizeof pair, out.empty() ? "%02X" : ":%02X", b);
        out += pair;
    }
    return out;
}

int KeepNewSession(SSL* ssl, SSL_SESSION* session) {
    auto* context = static_cast<TlsContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    context->Remember(session);
    return 1;  // the reference is ours now
}

// OpenSSL writes to the socket with write(), which raises SIGPIPE when the peer has gone; the
// host's disposition of the signal is not ours to change. The signal is blocked on this thread
// for the call, and one that the call raised is taken back before it is unblocked.
class SigpipeGuard {
public:
    SigpipeGuard() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        wasPending_ = Pending();
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~SigpipeGuard() {
        if (!wasPending_ && Pending()) {
            const timespec now{0, 0};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

private:
    static bool Pending() {
        sigset_t pending;
        sigpending(&pending);
        return sigismember(&pending, SIGPIPE) == 1;
    }
    sigset_t pipe_;
    sigset_t previous_;
    bool wasPending_ = false;
};

class Tls final : public Transport {
public:
    Tls(std::unique_ptr<Transport> beneath, SSL* ssl) : beneath_(std::move(beneath)), ssl_(ssl) {}
    ~Tls() override { SSL_free(ssl_); }

    // Handshake as the client.
    Status Connect(const Wait& wait) {
        const SigpipeGuard guard;
        for (;;) {
            const int r = SSL_connect(ssl_);
            if (r == 1) {
                return Status();
            }
            if (Status ready = Await(r, wait); !ready.Ok()) {
                return ready;
            }
        }
    }

    Status Receive(char* buffer, std::size_t n, const Wait& wait, std::size_t* got) override {
        const SigpipeGuard guard;
        for (;;) {
            const int r = SSL_read_ex(ssl_, buffer, n, got);
            if (r == 1) {
                return Status();
            }
            *got = 0;
            if (SSL_get_error(ssl_, r) == SSL_ERROR_ZERO_RETURN) {
                return Status();  // close_notify: the orderly end
            }
            if (Status ready = Await(r, wait); !ready.Ok()) {
                return ready;
            }
        }
    }

    Status Send(const char* data, std::size_t n, const Wait& wait, std::size_t* sent) override {
        const SigpipeGuard guard;
        std::size_t done = 0;
        Status status;
        while (done < n && status.Ok()) {
            std::size_t k = 0;
            const int r = SSL_write_ex(ssl_, data + done, n - done, &k);
            if (r == 1) {
                done += k;
            } else {
                status = Await(r, wait);
            }
        }
        if (sent != nullptr) {
            *sent = done;
        }
        return status;
    }

    Status Finish(const Wait& wait) override {
        const SigpipeGuard guard;
        // close_notify, then the end of the TCP stream; the peer's close_notify is not awaited.
        // Both steps share the one wait.
        const WaitBudget budget(wait.timeoutMs);
        Status sent;
        for (int i = 0; i < 4 && sent.Ok() && SSL_shutdown(ssl_) < 0; ++i) {
            if (SSL_get_error(ssl_, -1) != SSL_ERROR_WANT_WRITE) {
                break;
            }
            sent = WaitFor(Fd(), POLLOUT, wait.For(budget.Left(), waits::kWrite));
        }
        ERR_clear_error();
        beneath_->Finish(wait);
        if (sent.Ok()) {
            Drain(wait, std::min(budget.Left(), kDrainWaitMs));
        }
        return sent.code == kErrTimeout ? Status::Timeout(waits::kWrite, wait.timeoutMs) : sent;
    }

    void SendNow(const char* data, std::size_t n) override {
        const SigpipeGuard guard;
        std::size_t k = 0;
        if (SSL_write_ex(ssl_, data, n, &k) == 1) {
            SSL_shutdown(ssl_);
        }
        ERR_clear_error();
    }

    int Fd() const override { return beneath_->Fd(); }

private:
    // What the peer still sends (a TLS 1.3 session ticket) is read before the socket closes:
    // closing over unread bytes resets the connection, and the peer may then lose the
    // close_notify and reject the upload. A bounded read: an abandoned download's rest is not
    // fetched.
    void Drain(const Wait& wait, int ms) {
        const WaitBudget budget(ms);
        char scratch[4096];
        for (std::size_t drained = 0; drained < kDrainLimit;) {
            std::size_t k = 0;
            const Wait piece = wait.For(budget.Left(), waits::kReply);
            if (!Receive(scratch, sizeof scratch, piece, &k).Ok() || k == 0) {
                break;
            }
            drained += k;
        }
        ERR_clear_error();
    }

    // Waits for what OpenSSL needs after result r; a failure when the step failed for good.
    Status Await(int r, const Wait& wait) {
        switch (SSL_get_error(ssl_, r)) {
            case SSL_ERROR_WANT_READ:
                return WaitFor(Fd(), POLLIN, wait);
            case SSL_ERROR_WANT_WRITE:
                return WaitFor(Fd(), POLLOUT, wait);
            case SSL_ERROR_ZERO_RETURN:
            case SSL_ERROR_SYSCALL:
                if (ERR_peek_last_error() == 0) {
                    return Status::Of(kErrConnectionAborted);
                }
                [[fallthrough]];
            default:
                return TlsError(ssl_);
        }
    }

    std::unique_ptr<Transport> beneath_;
    SSL* ssl_;
};

bool IsIpAddress(const std::string& host) {
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

}  // namespace

std::optional<std::string> ParseFingerprint(const std::string& text) {
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':' && i % 3 == 2) {
            continue;  // between two bytes only
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        digits += c;
    }
    if (digits.size() != 64 || (text.find(':') != std::string::npos && text.size() != 95)) {
        return std::nullopt;
    }
    std::string raw;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        raw += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    }
    return raw;
}

Status TlsContext::Create(const TlsSettings& settings, const std::string& host,
                          std::unique_ptr<TlsContext>* out) {
    std::string pin;
    if (!settings.fingerprint.empty()) {
        const auto parsed = ParseFingerprint(settings.fingerprint);
        if (!parsed) {
            return Status::Own(kErrSecureChannel,
                               Arg(Tr("ftp", "证书指纹[%1]格式不对"), {settings.fingerprint}));
        }
        pin = *parsed;
    }
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (ctx == nullptr) {
        return TlsError(nullptr);
    }
    std::unique_ptr<TlsContext> context(new TlsContext(ctx, host, pin));
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    // TLS 1.2 offers only suites with forward secrecy and authenticated encryption: no static
    // RSA key exchange, no CBC with SHA-1. TLS 1.3's suites are all of that kind already.
    if (SSL_CTX_set_cipher_list(
            ctx, "ECDHE+AESGCM:ECDHE+CHACHA20:DHE+AESGCM:DHE+CHACHA20:!aNULL:!eNULL") != 1) {
        return TlsError(nullptr);
    }
    SSL_CTX_set_verify(ctx, pin.empty() ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
    const bool trusted = settings.caFile.empty() ? SSL_CTX_set_default_verify_paths(ctx) == 1
                                                 : SSL_CTX_load_verify_locations(
                                                       ctx, settings.caFile.c_str(), nullptr) == 1;
    if (!trusted && pin.empty()) {
        return Status::Own(kErrSecureChannel, Arg(Tr("ftp", "不能读取CA证书文件[%1]：%2"),
                                                  {settings.caFile, TlsError(nullptr).text}));
    }
    ERR_clear_error();
    SSL_CTX_set_app_data(ctx, context.get());
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(ctx, KeepNewSession);
    *out = std::move(context);
    return Status();
}

std::vector<std::string> TlsContext::OfferedSuites() const {
    std::vector<std::string> names;
    SSL* ssl = SSL_new(ctx_);
    if (ssl == nullptr) {
        return names;
    }
    STACK_OF(SSL_CIPHER)* offered = SSL_get1_supported_ciphers(ssl);
    for (int i = 0; offered != nullptr && i < sk_SSL_CIPHER_num(offered); ++i) {
        names.emplace_back(SSL_CIPHER_get_name(sk_SSL_CIPHER_value(offered, i)));
    }
    sk_SSL_CIPHER_free(offered);
    SSL_free(ssl);
    return names;
}

TlsContext::TlsContext(SSL_CTX* ctx, std::string host, std::string pin)
    : ctx_(ctx), host_(std::move(host)), pin_(std::move(pin)) {}

TlsContext::~TlsContext() {
    SSL_SESSION_free(latest_);
    SSL_CTX_free(ctx_);
}

void TlsContext::Remember(SSL_SESSION* session) {
    SSL_SESSION_free(latest_);
    latest_ = session;
}

Status TlsContext::CheckPin(void* handle) const {
    if (pin_.empty()) {
        return Status();
    }
    SSL* ssl = static_cast<SSL*>(handle);
    X509* peer = SSL_get1_peer_certificate(ssl);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool digested = peer != nullptr && X509_digest(peer, EVP_sha256(), digest, &length) == 1;
    X509_free(peer);
    const std::string actual(reinterpret_cast<const char*>(digest), digested ? length : 0);
    if (actual == pin_) {
        return Status();
    }
    return Status::Own(kErrSecureChannel, Tr("ftp", "服务器证书的SHA-256指纹不符：") + Hex(actual));
}

Status TlsContext::Secure(std::unique_ptr<Transport>& stream, const Wait& wait, bool resume) {
    std::unique_ptr<Transport> beneath = std::move(stream);
    SSL* ssl = SSL_new(ctx_);
    if (ssl == nullptr) {
        return TlsError(nullptr);
    }
    SSL_set_fd(ssl, beneath->Fd());
    if (IsIpAddress(host_)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host_.c_str());
    } else {
        // SSL_set_tlsext_host_name() is a macro with a C cast.
        SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                 const_cast<char*>(host_.c_str()));
        SSL_set1_host(ssl, host_.c_str());
    }
    if (resume && latest_ != nullptr) {
        SSL_set_session(ssl, latest_);
    }
    auto tls = std::make_unique<Tls>(std::move(beneath), ssl);
    Status secured = tls->Connect(wait);
    if (secured.Ok()) {
        secured = CheckPin(ssl);
    }
    if (secured.Ok()) {
        stream = std::move(tls);
    }
    return secured;
}

}  // namespace ftp
