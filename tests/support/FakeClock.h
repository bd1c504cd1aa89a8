#pragma once

#include "FtpClock.h"

namespace korvane::test {

// A clock whose sleeps pass at once: the pacing and retry pauses of a transfer cost no real
// time, and what they add up to can be read back.
class FakeClock : public ftp::Clock {
public:
    uint32_t Ticks() override { return now_; }
    void Sleep(uint32_t ms) override {
        now_ += ms;
        slept_ += ms;
    }
    uint64_t Slept() const { return slept_; }

private:
    uint32_t now_ = 1000;
    uint64_t slept_ = 0;
};

}  // namespace korvane::test
