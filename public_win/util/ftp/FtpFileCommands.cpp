// The commands of a session that work on remote files, and the transfers they open.
#include "FtpData.h"
#include "FtpPassive.h"
#include "FtpSession.h"
#include "FtpWaitBudget.h"
#include "TemporaryName.h"

#include <algorithm>

namespace ftp {

bool Connection::SetCurrentDirectory(const std::string& path) {
    const auto reply = NameCommand("CWD", path);
    if (!reply || !reply->Completion()) {
        return false;
    }
    directory_ = path;
    return true;
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
    const auto reply = ProbeUtf8("SIZE", name, NameCommand("SIZE", name, true));
    if (!reply || reply->code != 213) {
        return std::nullopt;
    }
    return ParseUnsigned(ReplyArgument(*reply));
}

std::optional<std::time_t> Connection::ModificationTime(const std::string& name) {
    const auto reply = ProbeUtf8("MDTM", name, NameCommand("MDTM", name, true));
    if (!reply || reply->code != 213) {
        return std::nullopt;
    }
    return TimeFromMdtm(ReplyArgument(*reply));
}

bool Connection::RestartAccepted(const Reply& reply, uint64_t offset, RestartRule rule) {
    if (reply.code != 350) {
        return false;
    }
    const std::string n = std::to_string(offset);
    switch (rule) {
        case RestartRule::AnyCode350:
            return true;
        case RestartRule::Strict:
            return reply.text.find("350 Restarting at " + n) != std::string::npos;
        case RestartRule::Offset:
            break;
    }
    // The offset as a number of its own, not part of a longer one (after the code).
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t at = reply.text.find(n, 3); at != std::string::npos;
         at = reply.text.find(n, at + 1)) {
        const std::size_t end = at + n.size();
        if (!digit(reply.text[at - 1]) && (end == reply.text.size() || !digit(reply.text[end]))) {
            return true;
        }
    }
    return false;
}

bool Connection::Restart(uint64_t offset, RestartRule rule) {
    restart_.reset();
    const auto reply = Command("REST " + std::to_string(offset));
    if (!reply) {
        return false;
    }
    const bool accepted = RestartAccepted(*reply, offset, rule);
    if (accepted) {
        restart_.emplace(offset, rule);
    }
    if (!accepted && reply->code == 350) {
        // Accepted in other words: the marker is set, and the retrieval would send the bytes
        // from there into the start of the file.
        const Reply refusal = *reply;
        const auto cleared = Command("REST 0");
        // A marker that could not be cleared may still hold: no retrieval may follow on this
        // connection.
        lost_ = lost_ || !cleared || cleared->code != 350;
        RecordResponse(refusal);
    }
    return accepted;
}

bool Connection::Rename(const std::string& from, const std::string& to) {
    // The new name is checked before RNFR: a refused RNTO would leave a rename pending.
    if (HasLineBreak(to)) {
        return Keep(Status::Of(kErrBadName));
    }
    if (!WireName(to)) {
        return false;
    }
    const auto first = NameCommand("RNFR", from);
    if (!first) {
        return false;
    }
    if (first->code != 350) {
        return Keep(Status::Of(kErrCommandFailed));  // its reply says why
    }
    const auto second = NameCommand("RNTO", to);
    if (second && !second->Completion()) {
        return Keep(Status::Of(kErrCommandFailed));
    }
    return second.has_value();
}

bool Connection::Delete(const std::string& name) {
    const auto reply = NameCommand("DELE", name);
    return reply && reply->Completion();
}

namespace {
// The names of an NLST listing, one per line, without a blank line. A name with a folder part
// (some servers list "sub/x") is no name of this folder: shortened, it would name another file
// here, which a caller might then remove.
std::vector<std::string> NamesOfListing(const std::string& text) {
    std::vector<std::string> names;
    for (std::string& line : LinesOf(text)) {
        if (!line.empty() && line.find('/') == std::string::npos) {
            names.push_back(std::move(line));
        }
    }
    return names;
}
}  // namespace

std::optional<std::vector<std::string>> Connection::ListNames() {
    if (!EnsureBinary()) {
        return std::nullopt;
    }
    bool fallBack = false;
    auto listing =
        OpenIn(mode_ == DataMode::Passive, "NLST", Access::Read, std::nullopt, &fallBack);
    if (!listing && fallBack && mode_ == DataMode::Auto) {
        mode_ = DataMode::Passive;
        listing = OpenIn(true, "NLST", Access::Read, std::nullopt, &fallBack);
    }
    if (!listing) {
        return std::nullopt;
    }
    std::string text;
    char buffer[16384];
    for (;;) {
        std::size_t got = 0;
        if (!listing->Read(buffer, sizeof buffer, &got, timeouts_.readMs, false)) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, got);
        if (text.size() > kMaxListingBytes) {
            Keep(Status::Own(kErrProtocol, Arg(Tr("ftp", "目录列表超过 %1 字节"),
                                               {std::to_string(kMaxListingBytes)})));
            return std::nullopt;
        }
    }
    if (!listing->Close()) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (std::string& line : NamesOfListing(text)) {
        names.push_back(codec_ && !codec_->IsUtf8() ? codec_->Decode(line) : std::move(line));
    }
    return names;
}

std::unique_ptr<FileTransfer> Connection::OpenFile(const std::string& name, Access access,
                                                   std::optional<uint64_t> knownSize) {
    if (HasLineBreak(name)) {
        Keep(Status::Of(kErrBadName));
        return nullptr;
    }
    if (!EnsureBinary()) {
        return nullptr;
    }
    const auto wire = WireName(name, access == Access::Read);
    if (!wire) {
        return nullptr;
    }
    const char* verb = access == Access::Read     ? "RETR "
                       : access == Access::Append ? "APPE "
                                                  : "STOR ";
    const std::string command = verb + *wire;
    bool fallBack = false;
    const auto restart = restart_;
    restart_.reset();  // the transfer command uses the marker up, whatever happens to it
    auto transfer = OpenIn(mode_ == DataMode::Passive, command, access, knownSize, &fallBack);
    if (!transfer && fallBack && mode_ == DataMode::Auto) {
        transfer = OpenPassivelyAfterActive(name, command, access, knownSize, restart);
    } else if (!transfer && fallBack && mode_ == DataMode::Active) {
        // The text (a timeout's) stays; the server's refusal is the last response.
        Keep(Status::Own(kErrActiveDataFailed, failure_.text));
    }
    return transfer;
}

std::unique_ptr<FileTransfer> Connection::OpenPassivelyAfterActive(
    const std::string& name, const std::string& command, Access access,
    std::optional<uint64_t> knownSize, std::optional<std::pair<uint64_t, RestartRule>> restart) {
    mode_ = DataMode::Passive;  // for this transfer and the rest of the session
    Remember(ServerFact::ActiveFails);
    // A session still owing the answer is given up at once, whatever the server is doing.
    const bool abandoned = lost_;
    if (lost_ && !Reestablish()) {
        return nullptr;
    }
    // The failed command used the marker up (or the session that held it is gone).
    if (restart && !Restart(restart->first, restart->second)) {
        Keep(Status::Of(kErrCommandFailed));
        return nullptr;
    }
    restart_.reset();
    bool fallBack = false;
    // A store that continues a file (a restart marker, APPE) cannot go to a name of its own.
    if (!abandoned || access != Access::Write || restart) {
        return OpenIn(true, command, access, knownSize, &fallBack);
    }
    // The abandoned session may still hold the name: vsftpd locks the file it stores to while
    // it tries to connect back, up to its own connect timeout, and a second STOR of it waits
    // for the lock. The store goes to a name of its own and takes the name once complete.
    const std::string side = TemporaryName(name);
    const auto wire = WireName(side);
    auto transfer = wire ? OpenIn(true, "STOR " + *wire, access, knownSize, &fallBack) : nullptr;
    if (transfer) {
        transfer->PublishAs(side, name);
    }
    return transfer;
}

bool Connection::PublishStored(const std::string& side, const std::string& name) {
    if (Rename(side, name)) {
        return true;
    }
    const Status cause = failure_;
    const std::string reply = response_;
    Delete(side);  // nothing half-published stays behind
    failure_ = cause;
    response_ = reply;
    return false;
}

bool Connection::Reestablish() {
    Connected fresh = reconnect_ ? reconnect_(cancel_) : Connected{};
    if (!fresh.connection) {
        if (!fresh.failure.Ok()) {
            failure_ = std::move(fresh.failure);
            response_ = std::move(fresh.response);
        }
        return false;
    }
    Connection& other = *fresh.connection;
    // The old control connection goes without a goodbye: its server may still be busy.
    const bool wasBinary = binary_;
    control_ = std::move(other.control_);
    tls_ = std::move(other.tls_);
    protected_ = other.protected_;
    parser_ = std::move(other.parser_);
    pending_ = std::move(other.pending_);
    binary_ = other.binary_;
    epsvRefused_ = other.epsvRefused_;
    codec_ = std::move(other.codec_);
    probeUtf8_ = other.probeUtf8_;
    lost_ = false;
    // A restart marker needs binary type on some servers (pyftpdlib).
    return (directory_.empty() || SetCurrentDirectory(directory_)) &&
           (!wasBinary || EnsureBinary());
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
    // "auto" gives active mode a short wait of its own: a server that cannot connect back
    // answers late (vsftpd after its own connect timeout) or never.
    const bool probing = !passive && mode_ == DataMode::Auto;
    const int waitMs = probing ? std::min(kConnectBackWaitMs, timeouts_.acceptMs) : -1;
    const auto opening = ReadReply(probing ? std::min(waitMs, timeouts_.replyMs) : -1);
    if (!opening) {
        // No answer yet: the server may be blocked connecting back. Its answer may still
        // come, so the session goes on over a new control connection.
        *fallBack = probing && failure_.code == kErrTimeout;
        return nullptr;
    }
    if (!opening->Preliminary()) {
        Keep(Status::Of(kErrCommandFailed));
        *fallBack = !passive && opening->code == 425;  // it could not open the data connection
        return nullptr;
    }
    auto stream = Establish(data, passive, waitMs < 0 ? timeouts_.acceptMs : waitMs, fallBack);
    if (!stream) {
        return nullptr;
    }
    std::optional<uint64_t> size = knownSize;
    if (access == Access::Read && !size) {
        size = SizeFromOpeningReply(opening->text);
    }
    return std::make_unique<FileTransfer>(*this, std::move(stream), size);
}

std::unique_ptr<Transport> Connection::Establish(DataConnection& data, bool passive, int waitMs,
                                                 bool* fallBack) {
    Socket socket;
    const bool established = data.Establish(socket, waitMs);
    std::unique_ptr<Transport> stream = established ? DataStream(std::move(socket)) : nullptr;
    if (stream) {
        return stream;
    }
    // The server could not connect back, or the data connection's handshake failed: it ends
    // the command with its own reply, which gets the short wait of a stalled transfer (a server
    // still trying to connect back may answer much later; the connection is then out of step).
    const Status cause = failure_;
    ReadFinalReply(kLastWordMs);
    failure_ = cause;
    *fallBack = !passive && !established;
    return nullptr;
}

FileTransfer::FileTransfer(Connection& connection, std::unique_ptr<Transport> data,
                           std::optional<uint64_t> size)
    : connection_(connection), data_(std::move(data)), size_(size) {}

FileTransfer::~FileTransfer() {
    Close();
}

bool FileTransfer::Read(char* buffer, std::size_t n, std::size_t* got, int timeoutMs, bool fill) {
    const Wait wait = connection_.WaitOf(timeoutMs, waits::kRead);
    Status status;
    std::size_t done = 0;
    while (done < n && (fill || done == 0)) {
        std::size_t k = 0;
        status = data_->Receive(buffer + done, n - done, wait, &k);
        if (!status.Ok() || k == 0) {
            break;
        }
        done += k;
    }
    *got = done;
    if (!status.Ok() || done == 0) {
        connection_.SetFailure(status);  // an empty read at the end of the data is no error
    }
    return done > 0 || status.Ok();
}

bool FileTransfer::Write(const char* buffer, std::size_t n, std::size_t* accepted, int timeoutMs) {
    return connection_.Keep(
        data_->Send(buffer, n, connection_.WaitOf(timeoutMs, waits::kWrite), accepted));
}

bool FileTransfer::Close(int replyTimeoutMs) {
    if (closed_) {
        return false;
    }
    closed_ = true;
    // A bounded close shares its bound between the end of the data and the reply. An end of
    // the data that the peer would not take is a stall: its last word is then worth no more
    // than the short wait.
    const int bound = replyTimeoutMs;
    const WaitBudget budget(std::max(bound, 0));
    Status finished;
    if (data_) {
        const int finishMs = bound < 0 ? connection_.GetTimeouts().writeMs : bound;
        finished = data_->Finish(connection_.WaitOf(finishMs, waits::kWrite));
        data_.reset();
    }
    const bool stalled = finished.code == kErrTimeout;
    const int replyMs = bound >= 0 ? budget.Left() : stalled ? kLastWordMs : -1;
    const auto reply = connection_.ReadFinalReply(replyMs);
    if (stalled) {
        connection_.Keep(std::move(finished));
        return false;
    }
    if (reply && !reply->Completion()) {
        connection_.Keep(Status::Of(kErrCommandFailed));  // its reply says why (426, 552)
    }
    return reply && reply->Completion() &&
           (side_.empty() || connection_.PublishStored(side_, name_));
}

}  // namespace ftp
