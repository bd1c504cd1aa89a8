#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "BlockHasher.h"
#include "FileStore.h"
#include "SftpChannel.h"

namespace korvane::sftp {

// What a transfer with many requests in flight needs: the channel, the clock and cancel flag
// for its waits, the longest stall, what the timeout text names, and where progress goes.
struct Pipeline {
    SftpChannel& channel;
    store::Clock& clock;
    const std::atomic<bool>* cancel;
    int stallMs;
    QString what;
    const store::Progress* progress;  // null: no progress reported
};

// Writes a local file to an open remote handle, several WRITE requests in flight, hashing the
// blocks on another thread as they go out.
class Uploader {
public:
    Uploader(const Pipeline& pipe, std::string handle, int fd, uint64_t total, uint32_t chunk);
    // Sends from the offset from to the end (the bytes before it are hashed, not sent); returns
    // once every block was acknowledged, or at the first failure, cancel or stall.
    store::Result Run(uint64_t from = 0);
    uint64_t Sent() const { return acknowledged_; }
    std::string Digest() { return hasher_.Finish(); }

private:
    struct Pending {
        uint32_t id;
        uint32_t length;
    };
    store::Result Fill();
    store::Result Collect(bool* progressed);
    // Reads the first n bytes of the file into the digest.
    store::Result Skip(uint64_t n);

    Pipeline pipe_;
    std::string handle_;
    int fd_;
    uint64_t from_ = 0;
    uint64_t total_;
    uint32_t chunk_;
    std::size_t depth_;
    std::deque<Pending> flight_;
    uint64_t offset_ = 0;
    uint64_t acknowledged_ = 0;
    bool eof_ = false;
    BlockHasher hasher_;
};

// Reads an open remote handle from an offset, several READ requests in flight, handing the
// bytes to a sink in order.
class Downloader {
public:
    using Sink = std::function<store::Result(std::string_view)>;
    static constexpr uint64_t kToTheEnd = std::numeric_limits<uint64_t>::max();

    Downloader(const Pipeline& pipe, std::string handle, uint32_t chunk, Sink sink);
    // Reads [from, end) or to the file's end; total is for the progress (0: unknown).
    store::Result Run(uint64_t from, uint64_t end, uint64_t total);
    uint64_t Received() const { return received_; }

private:
    struct Pending {
        uint32_t id;
        uint64_t offset;
        uint32_t length;
    };
    void Request(uint64_t offset, uint32_t length, bool first);
    void Fill();
    store::Result Collect(bool* progressed);
    store::Result Accept(const Pending& request, const Reply& reply);

    Pipeline pipe_;
    std::string handle_;
    uint32_t chunk_;
    std::size_t depth_;
    Sink sink_;
    std::deque<Pending> flight_;
    uint64_t next_ = 0;
    uint64_t end_ = kToTheEnd;
    uint64_t from_ = 0;
    uint64_t total_ = 0;
    uint64_t received_ = 0;
    bool eof_ = false;
};

}  // namespace korvane::sftp
