#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Sha256.h"

namespace korvane::sftp {

// SHA-256 of a stream of blocks on a thread of its own, so that hashing a block overlaps
// sending the next; at most a few blocks wait, so memory stays flat.
class BlockHasher {
public:
    BlockHasher();
    ~BlockHasher();
    BlockHasher(const BlockHasher&) = delete;
    BlockHasher& operator=(const BlockHasher&) = delete;

    // Hands a block over; waits while the thread is kMaxWaiting blocks behind.
    void Add(std::string block);
    // A buffer for the next block: one already hashed where there is one, so that its memory is
    // used again.
    std::string Spare();
    // The digest of every block added: 64 lower-case hex digits.
    std::string Finish();

private:
    static constexpr std::size_t kMaxWaiting = 8;
    void Run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> waiting_;
    std::vector<std::string> spare_;
    bool finishing_ = false;
    ftp::Sha256 sha_;
    std::thread thread_;
};

}  // namespace korvane::sftp
