#pragma once

#include <cstdint>

namespace korvane::store {

// Every network wait of a session, in milliseconds.
struct Timeouts {
    int connectMs = 60000;
    int replyMs = 60000;
    int acceptMs = 60000;
    int readMs = 60000;
    int writeMs = 60000;

    static Timeouts All(int ms) { return {ms, ms, ms, ms, ms}; }
};

// A resumed download first receives this much of what the local copy holds again and
// compares it.
constexpr uint64_t kResumeOverlap = 65536;

}  // namespace korvane::store
