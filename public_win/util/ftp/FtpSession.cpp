#include "FtpSession.h"

#include <atomic>

#include "FtpPassive.h"

#include <strings.h>

namespace ftp {

namespace {
// Set once at start-up and read by every worker: atomic, so a late install races with none.
std::atomic<TraceHook> gTrace{nullptr};
std::atomic<WarningHook> gWarning{nullptr};

void Warn(const std::string& text) {
    if (const WarningHook hook = gWarning.load()) {
        hook(text);
    }
}

// The reply's first line without its code's CRLF, for a message.
std::string TrimmedReply(const Reply& reply) {
    return reply.text.substr(0, reply.text.find_first_of("\r\n"));
}

// Whether name holds bytes beyond ASCII and they form valid UTF-8.
bool NonAsciiUtf8(const std::string& name) {
    bool wide = false;
    for (std::size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        const std::size_t n = c < 0x80         ? 1
                              : (c >> 5) == 6  ? 2
                              : (c >> 4) == 14 ? 3
                              : (c >> 3) == 30 ? 4
                                               : 0;
        if (n == 0 || i + n > name.size()) {
            return false;
        }
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(name[i + k]) >> 6) != 2) {
                return false;
            }
        }
        wide = wide || n > 1;
        i += n;
    }
    return wide;
}

std::string Downgrade() {
    return Tr("ftp", "服务器曾支持TLS，本次未提供，可能遭到降级攻击");
}

void Trace(bool sent, const std::string& text) {
    if (const TraceHook hook = gTrace.load()) {
        hook(sent, text.compare(0, 5, "PASS ") == 0 ? std::string("PASS ****") : text);
    }
}

}  // namespace

void Connection::RecordResponse(const Reply& reply) {
    response_ = reply.text.substr(0, kMaxLastResponse);
}

bool Connection::Keep(Status status) {
    if (status.Ok()) {
        return true;
    }
    failure_ = std::move(status);
    return false;
}

Wait Connection::WaitOf(int timeoutMs, const char* what) const {
    return Wait{timeoutMs < 0 ? timeouts_.replyMs : timeoutMs, what, cancel_};
}

void SetTraceHook(TraceHook hook) {
    gTrace.store(hook);
}

void SetWarningHook(WarningHook hook) {
    gWarning.store(hook);
}

Connected Session::Connect(const std::string& server, const std::string& user,
                           const std::string& password, const std::atomic<bool>* cancel) const {
    Connected out;
    if (HasLineBreak(user) || HasLineBreak(password) || HasLineBreak(server)) {
        out.failure = Status::Of(kErrBadName);
        return out;
    }
    std::string host;
    uint16_t port = kDefaultPort;
    const bool implicit = tls_.mode == TlsMode::Implicit;
    if (!SplitHostPort(server, host, port, implicit ? kImplicitTlsPort : kDefaultPort)) {
        out.failure = Status::Of(kErrNameNotResolved);
        return out;
    }
    std::unique_ptr<TlsContext> tls;
    if (tls_.mode != TlsMode::Off) {
        out.failure = TlsContext::Create(tls_, host, &tls);
        if (!out.failure.Ok()) {
            return out;
        }
    }
    const Wait connecting{timeouts_.connectMs, waits::kConnect, cancel};
    Socket socket;
    out.failure = ConnectTcp(host, port, connecting, socket);
    if (!out.failure.Ok()) {
        return out;
    }
    auto control = PlainTransport(std::move(socket));
    if (implicit) {
        out.failure = tls->Secure(control, connecting, false);
        if (!out.failure.Ok()) {
            return out;
        }
    }
    const std::string key = ServerMemory::Key(host, port);
    // Active mode that failed once for this server fails again: the next sessions start passive.
    const DataMode mode =
        mode_ == DataMode::Auto && memory_ && memory_->Knows(key, ServerFact::ActiveFails)
            ? DataMode::Passive
            : mode_;
    auto connection = std::make_unique<Connection>(std::move(control), timeouts_, mode,
                                                   std::move(tls), tls_.mode);
    connection->SetCancel(cancel);
    connection->SetMemory(memory_, key);
    if (!connection->Login(user, password) || !connection->ChooseEncoding(encoding_)) {
        out.failure = connection->Failure();
        out.response = connection->LastResponse();
        return out;
    }
    if (mode_ == DataMode::Auto) {
        // A session whose control connection was lost waiting for the server to connect back.
        Session passive = *this;
        passive.mode_ = DataMode::Passive;
        connection->SetReconnect([passive, server, user, password](const std::atomic<bool>* c) {
            return passive.Connect(server, user, password, c);
        });
    }
    out.connection = std::move(connection);
    return out;
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
    ReplyWait wait(timeoutMs < 0 ? timeouts_.replyMs : timeoutMs);
    return ReadReplyWithin(wait);
}

std::optional<Reply> Connection::ReadFinalReply(int timeoutMs) {
    // The preliminary replies and the final one share the bound: a server that keeps sending
    // "1xx" never holds the call beyond it.
    ReplyWait wait(timeoutMs < 0 ? timeouts_.replyMs : timeoutMs);
    for (;;) {
        auto reply = ReadReplyWithin(wait);
        if (!reply || !reply->Preliminary()) {
            return reply;
        }
    }
}

std::optional<Reply> Connection::ReadReplyWithin(ReplyWait& wait) {
    for (;;) {
        std::size_t used = 0;
        const auto state =
            pending_.empty() ? ReplyParser::State::NeedMore : parser_.Feed(pending_, &used);
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
            // A line without a code, or a reply that does not end within kMaxReply bytes.
            parser_.Reset();
            lost_ = true;
            Keep(Status::Of(kErrProtocol));
            return std::nullopt;
        }
        if (!ReceiveReplyBytes(wait)) {
            // A reply that did not come (a timeout, a cancel) may still come, and would be
            // taken for the answer to the next command.
            lost_ = true;
            return std::nullopt;
        }
    }
}

bool Connection::ReceiveReplyBytes(ReplyWait& wait) {
    // The whole reply is bounded, not each piece of it: a server that sends a continuation line
    // now and then is stopped at the bound as a silent one is. Once the bound is spent, what has
    // arrived already is looked at once more (a reply that came while the caller was busy).
    const bool spent = wait.budget.Spent();
    Status received = spent && wait.lookedLate ? Status::Of(kErrTimeout) : Status();
    wait.lookedLate = spent;
    char buffer[4096];
    std::size_t got = 0;
    if (received.Ok()) {
        received = control_->Receive(buffer, sizeof buffer,
                                     WaitOf(wait.budget.Left(), waits::kReply), &got);
    }
    if (received.code == kErrTimeout) {
        return Keep(Status::Timeout(waits::kReply, wait.boundMs));  // named by the whole wait
    }
    if (!received.Ok() || got == 0) {
        return Keep(received.Ok() ? Status::Of(kErrConnectionAborted) : std::move(received));
    }
    pending_.append(buffer, got);
    return true;
}

bool Connection::Send(const std::string& line) {
    if (lost_) {
        // A reply still owed to an earlier command would be taken for this one's.
        return Keep(
            Status::Own(kErrConnectionAborted, Tr("ftp", "与服务器的控制连接已失步，请重新连接")));
    }
    if (HasLineBreak(line)) {
        return Keep(Status::Of(kErrBadName));
    }
    Trace(true, line);
    const std::string wire = line + "\r\n";
    Status sent =
        control_->Send(wire.data(), wire.size(), WaitOf(timeouts_.writeMs, waits::kWrite), nullptr);
    return Keep(std::move(sent));
}

std::optional<Reply> Connection::Command(const std::string& line) {
    if (!Send(line)) {
        return std::nullopt;
    }
    auto reply = ReadFinalReply();
    if (reply && reply->Failed()) {
        Keep(Status::Of(kErrCommandFailed));
    }
    return reply;
}

bool Connection::Login(const std::string& user, const std::string& password) {
    const auto greeting = ReadFinalReply();
    if (!greeting) {
        return false;
    }
    if (!greeting->Completion()) {
        return Keep(Status::Of(kErrCannotConnect));  // "421 Too many users": the reply says why
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
        // Only a refused user name or password is the account's fault; "421" and the like say
        // the server will not serve now.
        return Keep(Status::Of(reply->code == 530 || reply->code == 430 || reply->code == 332
                                   ? kErrLoginFailure
                                   : kErrCannotConnect));
    }
    return !tls_ || ProtectData();
}

void Connection::SetMemory(std::shared_ptr<const ServerMemory> memory, std::string key) {
    memory_ = std::move(memory);
    key_ = std::move(key);
}

void Connection::Remember(ServerFact fact) const {
    if (memory_ && !memory_->Remember(key_, fact)) {
        Warn(Arg(Tr("ftp", "不能写入[%1]，下次连接服务器%2时不会记得本次所知"),
                 {memory_->Path(), key_}));
    }
}

bool Connection::StartTls() {
    const auto reply = Command("AUTH TLS");
    if (!reply) {
        return false;
    }
    if (reply->code != 234) {
        if (tlsMode_ != TlsMode::Auto) {
            return Keep(Status::Of(kErrSecureChannel));  // the refusal is the last response
        }
        if (memory_ && memory_->Knows(key_, ServerFact::SpokeTls)) {
            // Nothing more is sent: the password must not travel in the clear.
            Warn(Downgrade() + "：" + key_ + " " + TrimmedReply(*reply));
            return Keep(Status::Own(kErrSecureChannel, Downgrade()));
        }
        Warn(Arg(Tr("ftp", "服务器%1不支持TLS（%2），本次会话不加密，密码以明文发送"),
                 {key_, TrimmedReply(*reply)}));
        tls_.reset();  // the server speaks plain FTP only
        failure_ = Status();
        return true;
    }
    if (!tls_) {
        return Keep(Status::Of(kErrSecureChannel));  // nothing to secure the connection with
    }
    pending_.clear();  // nothing sent in the clear before the handshake counts
    if (!Keep(tls_->Secure(control_, WaitOf(timeouts_.connectMs, waits::kConnect), false))) {
        return false;
    }
    Remember(ServerFact::SpokeTls);
    return true;
}

bool Connection::ProtectData() {
    const auto size = Command("PBSZ 0");
    const auto reply = size && size->Completion() ? Command("PROT P") : size;
    if (!reply) {
        return false;
    }
    if (!reply->Completion()) {
        return Keep(Status::Of(kErrSecureChannel));
    }
    protected_ = true;
    return true;
}

std::unique_ptr<Transport> Connection::DataStream(Socket socket) {
    auto stream = PlainTransport(std::move(socket));
    if (!protected_) {
        return stream;
    }
    Keep(tls_->Secure(stream, WaitOf(timeouts_.connectMs, waits::kConnect), true));
    return stream;  // null when the handshake failed
}

bool Connection::ChooseEncoding(const std::string& encoding) {
    std::string chosen = encoding;
    const bool automatic = strcasecmp(encoding.c_str(), "auto") == 0;
    if (automatic) {
        chosen = "UTF-8";  // until FEAT says otherwise
    }
    codec_ = NameCodec::Open(chosen);
    if (!codec_) {
        return Keep(Status::Own(kErrUnencodable, Arg(Tr("ftp", "未知的文件名编码[%1]"), {chosen})));
    }
    if (!codec_->IsUtf8()) {
        return true;
    }
    // Servers that keep names in a code page of their own (proftpd's UseEncoding) take UTF-8
    // only after OPTS UTF8 ON; a refusal of it changes nothing.
    const auto features = Command("FEAT");
    const bool utf8 = features && features->code == 211 && FeatureListed(features->text, "UTF8");
    if (utf8) {
        Command("OPTS UTF8 ON");
    } else if (automatic) {
        codec_ = NameCodec::Open("GBK");
        probeUtf8_ = codec_ != nullptr;
    }
    failure_ = Status();
    return codec_ != nullptr;
}

std::optional<std::string> Connection::WireName(const std::string& name, bool lookup) {
    std::string wire = name;
    if (lookup && utf8Names_.count(name) != 0) {
        return wire;
    }
    if (codec_ && !codec_->Encode(name, &wire)) {
        Keep(Status::Own(kErrUnencodable,
                         Arg(Tr("ftp", "文件名[%1]不能用%2编码表示"), {name, codec_->Name()})));
        return std::nullopt;
    }
    return wire;
}

std::optional<Reply> Connection::NameCommand(const std::string& verb, const std::string& name,
                                             bool lookup) {
    const auto wire = WireName(name, lookup);
    if (!wire) {
        return std::nullopt;
    }
    return Command(verb + " " + *wire);
}

std::optional<Reply> Connection::ProbeUtf8(const std::string& verb, const std::string& name,
                                           const std::optional<Reply>& reply) {
    const bool missing = !reply ? failure_.code == kErrUnencodable : reply->code == 550;
    if (!probeUtf8_ || !missing || utf8Names_.count(name) != 0 || !NonAsciiUtf8(name)) {
        return reply;
    }
    const Status cause = failure_;
    const Reply before = reply.value_or(Reply{});
    auto again = Command(verb + " " + name);
    if (again && again->code == 213) {
        utf8Names_.insert(name);
        failure_ = Status();  // the GBK name's refusal is not this answer's
        return again;
    }
    // Not there either: the GBK name's answer is the one to report.
    failure_ = cause;
    if (reply) {
        RecordResponse(before);
    }
    return reply;
}

}  // namespace ftp
