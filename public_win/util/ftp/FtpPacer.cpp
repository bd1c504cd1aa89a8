#include "FtpPacer.h"

#include <algorithm>

namespace ftp {

namespace {
constexpr uint32_t kSecondMs = 1000;
}

Pacer::Pacer(Clock& clock, int kibPerSecond)
    : clock_(clock),
      limited_(kibPerSecond >= 1 && kibPerSecond < kUnlimitedKiB),
      chunk_(limited_ ? static_cast<std::size_t>(kibPerSecond) * 1024 : kMaxChunk) {}

std::size_t Pacer::Chunk(uint64_t remaining, bool remainingKnown) const {
    return remainingKnown ? static_cast<std::size_t>(std::min<uint64_t>(chunk_, remaining))
                          : chunk_;
}

uint32_t Pacer::EndPass() {
    const uint32_t pass = clock_.Ticks() - passStart_;
    if (!limited_ || pass >= kSecondMs) {
        return pass;
    }
    clock_.Sleep(kSecondMs - pass);
    return kSecondMs;
}

}  // namespace ftp
