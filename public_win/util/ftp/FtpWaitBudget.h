#pragma once

#include <algorithm>
#include <chrono>

namespace ftp {

// One network timeout shared by the attempts of a step, in real time whatever clock paces.
class WaitBudget {
public:
    explicit WaitBudget(int ms) : ms_(ms), start_(std::chrono::steady_clock::now()) {}
    int Remaining() const { return std::max(ms_ - Used(), 100); }
    // What is left of it, 0 once it is spent.
    int Left() const { return std::max(ms_ - Used(), 0); }
    bool Spent() const { return Used() >= ms_; }

private:
    int Used() const {
        return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start_)
                                    .count());
    }
    int ms_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace ftp
