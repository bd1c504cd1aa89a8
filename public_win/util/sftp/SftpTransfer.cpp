#include "SftpTransfer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "SftpPacket.h"
#include "Translate.h"

namespace korvane::sftp {

using store::Fault;
using store::Result;

namespace {
// Bytes asked for at once. Reads: twice what OpenSSH's client keeps in flight (64 requests of
// 32 KiB), as far as the channel's window opens (see SftpChannel::Receive). Writes: what the
// server's window takes (OpenSSH's: 2 MiB); more would only wait in the send buffer.
constexpr std::size_t kReadsInFlight = 4 * 1024 * 1024;
constexpr std::size_t kWritesInFlight = 2 * 1024 * 1024;
constexpr std::size_t kMaxRequestsInFlight = 64;

std::size_t DepthFor(std::size_t bytes, uint32_t chunk) {
    return std::clamp<std::size_t>(bytes / chunk, 4, kMaxRequestsInFlight);
}

// Waits for the next event when nothing moved: the stall's bound and the cancel flag.
Result Idle(const Pipeline& pipe, const Deadline& stall) {
    if (stall.Expired()) {
        return TimedOut(pipe.what, stall.TimeoutMs());
    }
    return pipe.channel.Pump(stall.SliceMs());
}

// One round of a pipeline: move bytes, take replies, and either note progress or wait.
template <typename Collect>
Result Round(const Pipeline& pipe, Deadline& stall, Collect collect) {
    if (stall.Cancelled()) {
        return Cancelled();
    }
    Result r = pipe.channel.Pump(0);
    bool progressed = false;
    if (r.Ok()) {
        r = collect(&progressed);
    }
    if (r.Ok() && progressed) {
        stall.Restart();
    } else if (r.Ok()) {
        r = Idle(pipe, stall);
    }
    return r;
}

}  // namespace

Uploader::Uploader(const Pipeline& pipe, std::string handle, int fd, uint64_t total, uint32_t chunk)
    : pipe_(pipe),
      handle_(std::move(handle)),
      fd_(fd),
      total_(total),
      chunk_(chunk),
      depth_(DepthFor(kWritesInFlight, chunk)) {}

Result Uploader::Skip(uint64_t n) {
    while (n > 0) {
        std::string block = hasher_.Spare();
        block.resize(static_cast<std::size_t>(std::min<uint64_t>(n, chunk_)));
        const ssize_t got = ::read(fd_, block.data(), block.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            const int error = got == 0 ? EIO : errno;
            return Result::Failure(
                Fault::Local, Tr("korvane", "读取本地文件失败：%1").arg(strerror(error)), error);
        }
        block.resize(static_cast<std::size_t>(got));
        hasher_.Add(std::move(block));
        n -= static_cast<uint64_t>(got);
    }
    return Result::Success();
}

Result Uploader::Run(uint64_t from) {
    Result r = Skip(from);
    from_ = offset_ = acknowledged_ = from;
    Deadline stall(pipe_.clock, pipe_.stallMs, pipe_.cancel);
    while (r.Ok() && (!eof_ || !flight_.empty())) {
        r = Fill();
        if (r.Ok()) {
            r = Round(pipe_, stall, [this](bool* progressed) { return Collect(progressed); });
        }
    }
    for (const Pending& p : flight_) {
        pipe_.channel.Forget(p.id);
    }
    return r;
}

Result Uploader::Fill() {
    while (!eof_ && flight_.size() < depth_) {
        std::string block = hasher_.Spare();
        block.resize(chunk_);
        const ssize_t n = ::read(fd_, block.data(), block.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Result::Failure(
                Fault::Local, Tr("korvane", "读取本地文件失败：%1").arg(strerror(errno)), errno);
        }
        if (n == 0) {
            eof_ = true;
            break;
        }
        block.resize(static_cast<std::size_t>(n));
        PacketWriter write = pipe_.channel.Begin(kFxpWrite);
        write.Str(handle_).U64(offset_).Str(block);
        flight_.push_back({pipe_.channel.Queue(std::move(write)), static_cast<uint32_t>(n)});
        offset_ += static_cast<uint64_t>(n);
        hasher_.Add(std::move(block));
    }
    return Result::Success();
}

Result Uploader::Collect(bool* progressed) {
    while (!flight_.empty()) {
        const std::optional<Reply> reply = pipe_.channel.Take(flight_.front().id);
        if (!reply) {
            break;
        }
        PacketReader in(reply->body);
        if (reply->type != kFxpStatus || in.U32() != kFxOk) {
            return StatusOf(*reply, pipe_.what);
        }
        acknowledged_ += flight_.front().length;
        flight_.pop_front();
        *progressed = true;
        if (pipe_.progress != nullptr && *pipe_.progress) {
            (*pipe_.progress)(acknowledged_, total_, from_);
        }
    }
    return Result::Success();
}

Downloader::Downloader(const Pipeline& pipe, std::string handle, uint32_t chunk, Sink sink)
    : pipe_(pipe),
      handle_(std::move(handle)),
      chunk_(chunk),
      depth_(DepthFor(kReadsInFlight, chunk)),
      sink_(std::move(sink)) {}

Result Downloader::Run(uint64_t from, uint64_t end, uint64_t total) {
    next_ = from;
    from_ = from;
    end_ = end;
    total_ = total;
    Deadline stall(pipe_.clock, pipe_.stallMs, pipe_.cancel);
    Result r;
    while (r.Ok() && (!flight_.empty() || (!eof_ && next_ < end_))) {
        Fill();
        r = Round(pipe_, stall, [this](bool* progressed) { return Collect(progressed); });
    }
    for (const Pending& p : flight_) {
        pipe_.channel.Forget(p.id);
    }
    return r;
}

void Downloader::Request(uint64_t offset, uint32_t length, bool first) {
    PacketWriter read = pipe_.channel.Begin(kFxpRead);
    read.Str(handle_).U64(offset).U32(length);
    const Pending p{pipe_.channel.Queue(std::move(read)), offset, length};
    if (first) {
        flight_.push_front(p);
    } else {
        flight_.push_back(p);
    }
}

void Downloader::Fill() {
    while (!eof_ && next_ < end_ && flight_.size() < depth_) {
        const auto length = static_cast<uint32_t>(std::min<uint64_t>(chunk_, end_ - next_));
        Request(next_, length, false);
        next_ += length;
    }
}

Result Downloader::Collect(bool* progressed) {
    while (!flight_.empty()) {
        std::optional<Reply> reply = pipe_.channel.Take(flight_.front().id);
        if (!reply) {
            break;
        }
        const Pending request = flight_.front();
        flight_.pop_front();
        *progressed = true;
        const Result r = Accept(request, *reply);
        pipe_.channel.Recycle(std::move(reply->body));
        if (!r.Ok()) {
            return r;
        }
    }
    return Result::Success();
}

Result Downloader::Accept(const Pending& request, const Reply& reply) {
    PacketReader in(reply.body);
    if (reply.type == kFxpStatus && in.U32() == kFxEof) {
        eof_ = true;  // the requests behind this one find the end too
        return Result::Success();
    }
    if (reply.type != kFxpData) {
        return StatusOf(reply, pipe_.what);
    }
    const std::string_view data = in.Str();
    if (!in.Ok() || data.size() > request.length) {
        return Unexpected(pipe_.what);
    }
    if (eof_ || data.empty()) {
        // Bytes past an end already met belong to a file that grew: not this copy's.
        eof_ = true;
        return Result::Success();
    }
    const Result r = sink_(data);
    received_ += data.size();
    if (data.size() < request.length) {
        // A short read: the rest comes before anything behind it.
        Request(request.offset + data.size(), request.length - static_cast<uint32_t>(data.size()),
                true);
    }
    if (pipe_.progress != nullptr && *pipe_.progress) {
        (*pipe_.progress)(from_ + received_, total_, from_);
    }
    return r;
}

}  // namespace korvane::sftp
