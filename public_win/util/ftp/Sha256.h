#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ftp {

// SHA-256 over bytes fed in pieces, as they stream past.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, std::size_t n);
    // 64 lower-case hex digits; the digest is finished and starts anew.
    std::string HexDigest();

private:
    struct Context;
    std::unique_ptr<Context> ctx_;
};

// Digests the blocks of a stream on a thread of its own while the caller goes on with the
// next ones: the caller fills the buffer that Buffer() lends, sends it, and hands it over with
// Add; the blocks are digested in order. The buffers go round a ring. A caller that finds every
// buffer waiting digests the oldest block itself unless the thread is at it: on a machine
// without a free core the work is then done where it would have been without the thread,
// instead of waiting for the thread to be given a turn.
class Sha256Behind {
public:
    Sha256Behind(Sha256& digest, std::size_t blockSize, std::size_t depth);
    // Digests what was handed over, then ends its thread.
    ~Sha256Behind();
    Sha256Behind(const Sha256Behind&) = delete;
    Sha256Behind& operator=(const Sha256Behind&) = delete;

    // The buffer of the next block, blockSize bytes, once what it held is digested.
    char* Buffer();
    // The first n bytes of the buffer lent last are the next block.
    void Add(std::size_t n);
    // Returns once every block handed over is digested.
    void Finish();

private:
    void Run();
    // Digests the oldest waiting block, the lock held on entry and on return.
    void DigestOldest(std::unique_lock<std::mutex>& lock);

    Sha256& digest_;
    const std::size_t blockSize_;
    const std::size_t depth_;
    std::vector<char> ring_;
    std::vector<std::size_t> sizes_;
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t added_ = 0;  // blocks handed over
    uint64_t digested_ = 0;
    bool busy_ = false;  // a block is being digested (the digest takes one at a time)
    bool stop_ = false;
    std::thread thread_;
};

// The digest of a whole local file: 64 hex digits, or empty (with errno) when it cannot be read.
std::string Sha256OfFile(const char* path);

}  // namespace ftp
