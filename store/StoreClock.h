#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

namespace korvane::store {

// The tick count and the sleep of a transfer's pacing and retry pauses. Tests replace it with
// one that advances without sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t Ticks() = 0;  // milliseconds, monotonic, wrapping
    virtual void Sleep(uint32_t ms) = 0;

    static Clock& Real();

private:
    class RealClock;
};

class Clock::RealClock : public Clock {
public:
    uint32_t Ticks() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

inline Clock& Clock::Real() {
    static RealClock clock;
    return clock;
}

}  // namespace korvane::store
