#include "FtpClock.h"

#include <chrono>
#include <thread>

namespace ftp {

namespace {
class RealClock : public Clock {
public:
    uint32_t Ticks() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};
}  // namespace

Clock& Clock::Real() {
    static RealClock clock;
    return clock;
}

}  // namespace ftp
