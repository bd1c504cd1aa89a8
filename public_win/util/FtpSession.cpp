#include "FtpSession.h"

#include "FtpPassive.h"

#include <strings.h>

namespace ftp {

namespace {
thread_local std::string tLastResponse;
TraceHook gTrace = nullptr;

void Trace(bool sent, const std::string& text) {
    if (gTrace != nullptr) {
        gTrace(sent, text.compare(0, 5, "PASS ") == 0 ? std::string("PASS ****") : text);
    }
}

}  // namespace

void Connection::RecordResponse(const Reply& reply) {
    tLastResponse = reply.text.substr(0, kMaxLastResponse);
}

void SetTraceHook(TraceHook hook) {
    gTrace = hook;
}

const std::string& LastResponse() {
    return tLastResponse;
}
void ClearLastResponse() {
    tLastResponse.clear();
}

std::unique_ptr<Connection> Session::Connect(const std::string& server, const std::string& user,
                                             const std::string& password) const {
    ClearLastResponse();
    SetLastError(0);
    if (HasLineBreak(user) || HasLineBreak(password) || HasLineBreak(server)) {
        SetLastError(kErrBadName);
        return nullptr;
    }
    std::string host;
    uint16_t port = kDefaultPort;
    const bool implicit = tls_.mode == TlsMode::Implicit;
    if (!SplitHostPort(server, host, port, implicit ? kImplicitTlsPort : kDefaultPort)) {
        SetLastError(kErrNameNotResolved);
        return nullptr;
    }
    std::unique_ptr<TlsContext> tls;
    if (tls_.mode != TlsMode::Off && !(tls = TlsContext::Create(tls_, host))) {
        return nullptr;
    }
    Socket socket;
    if (!ConnectTcp(host, port, timeouts_.connectMs, socket)) {
        return nullptr;
    }
    auto control = PlainTransport(std::move(socket));
    if (implicit && !(control = tls->Secure(std::move(control), timeouts_.connectMs, false))) {
        return nullptr;
    }
    auto connection = std::make_unique<Connection>(std::move(control), timeouts_, mode_,
                                                   std::move(tls), tls_.mode);
    if (!connection->Login(user, password) || !connection->ChooseEncoding(encoding_)) {
        return nullptr;
    }
    return connection;
}

Connection::Connection(std::unique_ptr<Transport> control, const Timeouts& timeouts, DataMode mode,
                       std::unique_ptr<TlsContext> tls, TlsMode tlsMode)
    : control_(std::move(control)),
      timeouts_(timeouts),
      mode_(mode),
      tls_(std::move(tls)),
      tlsMode_(tlsMode) {}

Connection::~Connection() {
    if (control_) {
        // A polite goodbye; the reply is not waited for.
        const std::string quit = "QUIT\r\n";
        control_->SendNow(quit.data(), quit.size());
    }
}

std::optional<Reply> Connection::ReadReply(int timeoutMs) {
    for (;;) {
        if (!pending_.empty()) {
            std::size_t used = 0;
            const auto state = parser_.Feed(pending_, &used);
            pending_.erase(0, used);
            if (state == ReplyParser::State::Complete) {
                Reply reply = parser_.TakeReply();
                if (codec_ && !codec_->IsUtf8()) {
                    reply.text = codec_->Decode(reply.text);
                }
                RecordResponse(reply);
                Trace(false, reply.text);
                return reply;
            }
            if (state == ReplyParser::State::Error) {
                parser_.Reset();
                SetLastError(kErrProtocol);
                return std::nullopt;
            }
        }
        char buffer[4096];
        const long got = control_->Receive(
            buffer, sizeof buffer, timeoutMs < 0 ? timeouts_.replyMs : timeoutMs, waits::kReply);
        if (got <= 0) {
            if (got == 0) {
                SetLastError(kErrConnectionAborted);
            }
            return std::nullopt;
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
}

std::optional<Reply> Connection::ReadFinalReply(int timeoutMs) {
    for (;;) {
        auto reply = ReadReply(timeoutMs);
        if (!reply || !reply->Preliminary()) {
            return reply;
        }
    }
}

bool Connection::Send(const std::string& line) {
    if (HasLineBreak(line)) {
        SetLastError(kErrBadName);
        return false;
    }
    Trace(true, line);
    const std::string wire = line + "\r\n";
    return control_->Send(wire.data(), wire.size(), timeouts_.writeMs, nullptr, waits::kWrite);
}

std::optional<Reply> Connection::Command(const std::string& line) {
    if (!Send(line)) {
        return std::nullopt;
    }
    auto reply = ReadFinalReply();
    if (reply && reply->Failed()) {
        SetLastError(kErrCommandFailed);
    }
    return reply;
}

bool Connection::Login(const std::string& user, const std::string& password) {
    const auto greeting = ReadFinalReply();
    if (!greeting) {
        return false;
    }
    if (!greeting->Completion()) {
        SetLastError(kErrCannotConnect);
        return false;
    }
    if ((tlsMode_ == TlsMode::Explicit || tlsMode_ == TlsMode::Auto) && !StartTls()) {
        return false;
    }
    auto reply = Command("USER " + user);
    if (reply && reply->code == 331) {
        reply = Command("PASS " + password);
    }
    if (!reply) {
        return false;
    }
    if (!reply->Completion()) {
        SetLastError(kErrLoginFailure);
        return false;
    }
    return !tls_ || ProtectData();
}

bool Connection::StartTls() {
    const auto reply = Command("AUTH TLS");
    if (!reply) {
        return false;
    }
    if (reply->code != 234) {
        if (tlsMode_ == TlsMode::Auto) {
            tls_.reset();  // the server speaks plain FTP only
            return true;
        }
        SetLastError(kErrLoginFailure);  // the refusal is the last response
        return false;
    }
    pending_.clear();  // nothing sent in the clear before the handshake counts
    control_ = tls_->Secure(std::move(control_), timeouts_.connectMs, false);
    return control_ != nullptr;
}

bool Connection::ProtectData() {
    const auto size = Command("PBSZ 0");
    const auto reply = size && size->Completion() ? Command("PROT P") : size;
    if (!reply) {
        return false;
    }
    if (!reply->Completion()) {
        SetLastError(kErrLoginFailure);
        return false;
    }
    protected_ = true;
    return true;
}

std::unique_ptr<Transport> Connection::DataStream(Socket socket) {
    auto stream = PlainTransport(std::move(socket));
    if (!protected_) {
        return stream;
    }
    return tls_->Secure(std::move(stream), timeouts_.connectMs, true);
}

bool Connection::ChooseEncoding(const std::string& encoding) {
    std::string chosen = encoding;
    if (strcasecmp(encoding.c_str(), "auto") == 0) {
        const auto features = Command("FEAT");
        const bool utf8 =
            features && features->code == 211 && FeatureListed(features->text, "UTF8");
        if (utf8) {
            Command("OPTS UTF8 ON");
        }
        chosen = utf8 ? "UTF-8" : "GBK";
    }
    codec_ = NameCodec::Open(chosen);
    if (!codec_) {
        SetOwnError(kErrUnencodable, "未知的文件名编码[" + chosen + "]");
        return false;
    }
    return true;
}

std::optional<std::string> Connection::WireName(const std::string& name) const {
    std::string wire = name;
    if (codec_ && !codec_->Encode(name, &wire)) {
        SetOwnError(kErrUnencodable, "文件名[" + name + "]不能用" + codec_->Name() + "编码表示");
        return std::nullopt;
    }
    return wire;
}

std::optional<Reply> Connection::NameCommand(const std::string& verb, const std::string& name) {
    const auto wire = WireName(name);
    if (!wire) {
        return std::nullopt;
    }
    return Command(verb + " " + *wire);
}

}  // namespace ftp
