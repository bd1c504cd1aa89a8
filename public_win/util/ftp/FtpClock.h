#pragma once

#include <cstdint>

namespace ftp {

// The tick count and the sleep of the pacing and the retry pauses. Tests replace it with one
// that advances without sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t Ticks() = 0;  // milliseconds, monotonic, wrapping
    virtual void Sleep(uint32_t ms) = 0;

    static Clock& Real();
};

}  // namespace ftp
