#include "SftpChannel.h"

#include <algorithm>

#include "Translate.h"

namespace korvane::sftp {

using store::Fault;
using store::Result;

namespace {
constexpr std::size_t kReadBuffer = 4 * 1024 * 1024;
constexpr std::size_t kMaxSpare = 160;  // beyond the requests that a transfer keeps in flight
}  // namespace

Result Unexpected(const QString& what) {
    return Result::Failure(Fault::Server,
                           Tr("korvane", "%1：服务器的应答不符合SFTP协议").arg(what));
}

Result StatusOf(const Reply& reply, const QString& what) {
    if (reply.type != kFxpStatus) {
        return Unexpected(what);
    }
    PacketReader in(reply.body);
    const uint32_t code = in.U32();
    const QString message = QString::fromUtf8(in.Str());
    if (code == kFxOk) {
        return Result::Success();
    }
    return Result::Failure(code == kFxNoSuchFile ? Fault::NotFound : Fault::Server,
                           Tr("korvane", "%1失败：%2（SFTP状态%3）").arg(what, message).arg(code),
                           static_cast<int>(code));
}

SftpChannel::SftpChannel(SshLink& link) : link_(link), readBuffer_(kReadBuffer) {}

PacketWriter SftpChannel::Init() {
    return PacketWriter(kFxpInit, kInitId);  // INIT carries the version where others the id
}

PacketWriter SftpChannel::Begin(uint8_t type) {
    if (++lastId_ == kInitId) {
        ++lastId_;
    }
    return PacketWriter(type, lastId_, Spare());
}

std::string SftpChannel::Spare() {
    if (spare_.empty()) {
        return std::string();
    }
    std::string buffer = std::move(spare_.back());
    spare_.pop_back();
    return buffer;
}

void SftpChannel::Recycle(std::string&& buffer) {
    if (spare_.size() < kMaxSpare) {
        spare_.push_back(std::move(buffer));
    }
}

uint32_t SftpChannel::Queue(PacketWriter&& packet) {
    const uint32_t id = packet.Id();
    std::string bytes = packet.Take();
    out_.append(bytes);
    Recycle(std::move(bytes));
    awaited_.insert(id);
    return id;
}

Result SftpChannel::Lost() const {
    return Result::Failure(Fault::Broken,
                           Tr("korvane", "与服务器的连接中断：%1").arg(link_.Error()));
}

Result SftpChannel::Send(bool* moved) {
    while (outStart_ < out_.size()) {
        const std::size_t room = ssh_channel_window_size(link_.Channel());
        const std::size_t n = std::min(out_.size() - outStart_, room);
        if (n == 0) {
            break;
        }
        const int sent =
            ssh_channel_write(link_.Channel(), out_.data() + outStart_, static_cast<uint32_t>(n));
        if (sent < 0) {
            return Lost();
        }
        if (sent == 0) {
            break;
        }
        outStart_ += static_cast<std::size_t>(sent);
        *moved = true;
    }
    // The sent front goes once it is the larger part, so the buffer stays within twice what
    // is queued and keeps its memory.
    if (outStart_ > 0 && outStart_ >= out_.size() - outStart_) {
        out_.erase(0, outStart_);
        outStart_ = 0;
    }
    return Result::Success();
}

Result SftpChannel::Receive(bool* moved) {
    for (;;) {
        // The session is non-blocking, so this returns what is there; asking for a whole
        // buffer's worth also opens the channel's window that far (libssh's own stops at
        // 1.25 MB), which keeps the server sending while this thread is busy.
        const int n = ssh_channel_read(link_.Channel(), readBuffer_.data(),
                                       static_cast<uint32_t>(readBuffer_.size()), 0);
        if (n == SSH_ERROR || (n == 0 && ssh_channel_is_eof(link_.Channel()))) {
            return Lost();
        }
        if (n <= 0) {
            break;  // nothing yet (0 or SSH_AGAIN)
        }
        in_.Feed(readBuffer_.data(), static_cast<std::size_t>(n));
        *moved = true;
    }
    bool broken = false;
    while (std::optional<Reply> reply = in_.Next(&broken, Spare())) {
        if (awaited_.erase(reply->id) > 0) {
            replies_[reply->id] = std::move(*reply);
        } else {
            Recycle(std::move(reply->body));
        }
    }
    if (broken) {
        return Result::Failure(Fault::Broken, Tr("korvane", "服务器的SFTP应答无法识别"));
    }
    return Result::Success();
}

Result SftpChannel::Pump(int waitMs) {
    bool moved = false;
    Result r = Send(&moved);
    if (r.Ok()) {
        r = Receive(&moved);
    }
    if (r.Ok() && !moved && waitMs > 0) {
        link_.WaitForSocket(waitMs);
    }
    return r;
}

std::optional<Reply> SftpChannel::Take(uint32_t id) {
    const auto it = replies_.find(id);
    if (it == replies_.end()) {
        return std::nullopt;
    }
    Reply reply = std::move(it->second);
    replies_.erase(it);
    return reply;
}

Result SftpChannel::Await(uint32_t id, const Deadline& deadline, const QString& what, Reply* out) {
    for (;;) {
        if (std::optional<Reply> reply = Take(id)) {
            *out = std::move(*reply);
            return Result::Success();
        }
        Result r = deadline.Cancelled() ? Cancelled()
                   : deadline.Expired() ? TimedOut(what, deadline.TimeoutMs())
                                        : Pump(deadline.SliceMs());
        if (!r.Ok()) {
            Forget(id);
            return r;
        }
    }
}

void SftpChannel::Forget(uint32_t id) {
    awaited_.erase(id);
    replies_.erase(id);
}

}  // namespace korvane::sftp
