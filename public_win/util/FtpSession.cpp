#include "FtpSession.h"

#include "FtpData.h"
#include "FtpPassive.h"

#include <poll.h>
#include <sys/socket.h>

#include <strings.h>

#include <cerrno>

namespace ftp {

namespace {
thread_local std::string tLastResponse;
TraceHook gTrace = nullptr;

void Trace(bool sent, const std::string& text) {
    if (gTrace != nullptr) {
        gTrace(sent, text.compare(0, 5, "PASS ") == 0 ? std::string("PASS ****") : text);
    }
}

void RecordResponse(const Reply& reply) {
    tLastResponse = reply.text.substr(0, kMaxLastResponse);
}

// How long the final reply is awaited after a data connection's handshake failed.
constexpr int kTlsRefusalWaitMs = 1000;

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

std::optional<uint64_t> ParseUnsigned(const std::string& digits) {
    if (digits.empty() || digits.size() > 19 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoull(digits);
}

// The argument of a one-line "213 value" reply.
std::string ReplyArgument(const Reply& reply) {
    std::string text = reply.text.size() > 4 ? reply.text.substr(4) : std::string();
    const auto end = text.find_first_of("\r\n");
    text = text.substr(0, end);
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}
}  // namespace

void SetTraceHook(TraceHook hook) {
    gTrace = hook;
}

const std::string& LastResponse() {
    return tLastResponse;
}
void ClearLastResponse() {
    tLastResponse.clear();
}

std::optional<uint64_t> SizeFromOpeningReply(const std::string& text) {
    const auto bytes = text.find(" bytes)");
    if (bytes == std::string::npos) {
        return std::nullopt;
    }
    const auto open = text.rfind('(', bytes);
    if (open == std::string::npos) {
        return std::nullopt;
    }
    return ParseUnsigned(text.substr(open + 1, bytes - open - 1));
}

std::optional<std::time_t> TimeFromMdtm(const std::string& value) {
    if (value.size() < 14 ||
        value.substr(0, 14).find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = std::stoi(value.substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(value.substr(4, 2)) - 1;
    tm.tm_mday = std::stoi(value.substr(6, 2));
    tm.tm_hour = std::stoi(value.substr(8, 2));
    tm.tm_min = std::stoi(value.substr(10, 2));
    tm.tm_sec = std::stoi(value.substr(12, 2));
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31) {
        return std::nullopt;
    }
    return timegm(&tm);
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

bool Connection::SetCurrentDirectory(const std::string& path) {
    const auto reply = NameCommand("CWD", path);
    return reply && reply->Completion();
}

bool Connection::EnsureBinary() {
    if (binary_) {
        return true;
    }
    const auto reply = Command("TYPE I");
    binary_ = reply && reply->Completion();
    return binary_;
}

std::optional<uint64_t> Connection::FileSize(const std::string& name) {
    if (!EnsureBinary()) {
        return std::nullopt;
    }
    const auto reply = NameCommand("SIZE", name);
    if (!reply || reply->code != 213) {
        return std::nullopt;
    }
    return ParseUnsigned(ReplyArgument(*reply));
}

std::optional<std::time_t> Connection::ModificationTime(const std::string& name) {
    const auto reply = NameCommand("MDTM", name);
    if (!reply || reply->code != 213) {
        return std::nullopt;
    }
    return TimeFromMdtm(ReplyArgument(*reply));
}

bool Connection::Restart(uint64_t offset, RestartRule rule) {
    const std::string n = std::to_string(offset);
    const auto reply = Command("REST " + n);
    if (!reply) {
        return false;
    }
    const bool accepted =
        reply->code == 350 && (rule == RestartRule::AnyCode350 ||
                               reply->text.find("350 Restarting at " + n) != std::string::npos);
    if (!accepted && reply->code == 350) {
        // Accepted in other words: the marker is set, and the retrieval would send the bytes
        // from there into the start of the file.
        const Reply refusal = *reply;
        Command("REST 0");
        RecordResponse(refusal);
    }
    return accepted;
}

bool Connection::Rename(const std::string& from, const std::string& to) {
    const auto first = NameCommand("RNFR", from);
    if (!first || first->code != 350) {
        return false;
    }
    const auto second = NameCommand("RNTO", to);
    return second && second->Completion();
}

bool Connection::Delete(const std::string& name) {
    const auto reply = NameCommand("DELE", name);
    return reply && reply->Completion();
}

std::unique_ptr<FileTransfer> Connection::OpenFile(const std::string& name, Access access,
                                                   std::optional<uint64_t> knownSize) {
    if (HasLineBreak(name)) {
        SetLastError(kErrBadName);
        return nullptr;
    }
    if (!EnsureBinary()) {
        return nullptr;
    }
    const auto wire = WireName(name);
    if (!wire) {
        return nullptr;
    }
    const std::string command = (access == Access::Read ? "RETR " : "STOR ") + *wire;
    bool fallBack = false;
    auto transfer = OpenIn(mode_ == DataMode::Passive, command, access, knownSize, &fallBack);
    if (!transfer && fallBack && mode_ == DataMode::Auto) {
        mode_ = DataMode::Passive;  // for this transfer and the rest of the session
        transfer = OpenIn(true, command, access, knownSize, &fallBack);
    }
    return transfer;
}

std::unique_ptr<FileTransfer> Connection::OpenIn(bool passive, const std::string& command,
                                                 Access access, std::optional<uint64_t> knownSize,
                                                 bool* fallBack) {
    *fallBack = false;
    DataConnection data(*this);
    const auto ready = passive ? data.Passive(&epsvRefused_) : data.Active();
    if (!ready) {
        *fallBack = !passive && data.Refused();
        return nullptr;
    }
    if (!Send(command)) {
        return nullptr;
    }
    const auto opening = ReadReply();
    if (!opening) {
        return nullptr;
    }
    if (!opening->Preliminary()) {
        SetLastError(kErrCommandFailed);
        return nullptr;
    }
    Socket socket;
    const bool established = data.Establish(socket);
    std::unique_ptr<Transport> stream = established ? DataStream(std::move(socket)) : nullptr;
    if (!stream) {
        // The server could not connect back, or the data connection's handshake failed: it
        // ends the command with its own reply.
        const SavedError cause;
        ReadFinalReply(established ? kTlsRefusalWaitMs : -1);
        cause.Restore();
        *fallBack = !passive && !established;
        return nullptr;
    }
    std::optional<uint64_t> size = knownSize;
    if (access == Access::Read && !size) {
        size = SizeFromOpeningReply(opening->text);
    }
    return std::make_unique<FileTransfer>(*this, std::move(stream), size);
}

FileTransfer::FileTransfer(Connection& connection, std::unique_ptr<Transport> data,
                           std::optional<uint64_t> size)
    : connection_(connection), data_(std::move(data)), size_(size) {}

FileTransfer::~FileTransfer() {
    Close();
}

bool FileTransfer::Read(char* buffer, std::size_t n, std::size_t* got, int timeoutMs, bool fill) {
    std::size_t done = 0;
    while (done < n && (fill || done == 0)) {
        const long k = data_->Receive(buffer + done, n - done, timeoutMs, waits::kRead);
        if (k <= 0) {
            if (k == 0 && done == 0) {
                SetLastError(0);  // the end of the data, not an error
            }
            break;
        }
        done += static_cast<std::size_t>(k);
    }
    *got = done;
    return done > 0 || LastError() == 0;
}

bool FileTransfer::Write(const char* buffer, std::size_t n, std::size_t* accepted, int timeoutMs) {
    return data_->Send(buffer, n, timeoutMs, accepted, waits::kWrite);
}

bool FileTransfer::Close(int replyTimeoutMs) {
    if (closed_) {
        return false;
    }
    closed_ = true;
    if (data_) {
        data_->Finish(connection_.GetTimeouts().writeMs);
        data_.reset();
    }
    const auto reply = connection_.ReadFinalReply(replyTimeoutMs);
    return reply && reply->Completion();
}

}  // namespace ftp
