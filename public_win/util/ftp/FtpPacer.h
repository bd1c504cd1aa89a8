#pragma once

#include <cstddef>
#include <cstdint>

#include "FtpClock.h"

namespace ftp {

// Keeps a download at a rate: each pass moves at most a second's worth of bytes and then waits
// out the rest of its second. Without a limit a pass moves kMaxChunk bytes and never waits.
class Pacer {
public:
    static constexpr int kUnlimitedKiB = 128;  // a rate of 128 KiB/s or more is no limit
    static constexpr std::size_t kMaxChunk = 128 * 1024;

    // kibPerSecond below 1 or above kUnlimitedKiB: no limit.
    Pacer(Clock& clock, int kibPerSecond);

    bool Limited() const { return limited_; }
    // The bytes the next pass may move; never more than remaining when that is known.
    std::size_t Chunk(uint64_t remaining, bool remainingKnown) const;
    void StartPass() { passStart_ = clock_.Ticks(); }
    // Ends the pass, waiting out its second when limited: the pass's milliseconds, wait included.
    uint32_t EndPass();

private:
    Clock& clock_;
    bool limited_;
    std::size_t chunk_;
    uint32_t passStart_ = 0;
};

}  // namespace ftp
