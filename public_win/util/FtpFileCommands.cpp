// The commands of a session that work on remote files, and the transfers they open.
#include "FtpData.h"
#include "FtpPassive.h"
#include "FtpSession.h"

namespace ftp {

namespace {
// How long the final reply is awaited after a data connection's handshake failed.
constexpr int kTlsRefusalWaitMs = 1000;
}  // namespace

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
