#include "FtpWorker.h"

namespace korvane {

FtpWorker::FtpWorker() : thread_([this] { Loop(); }) {}

FtpWorker::~FtpWorker() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        steps_.clear();
    }
    wake_.notify_one();
    thread_.join();
}

void FtpWorker::Post(Step step) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        steps_.push_back(std::move(step));
    }
    wake_.notify_one();
}

void FtpWorker::Loop() {
    CFTPClient client;  // lives and dies on this thread, like the session's thread-local state
    for (;;) {
        Step step;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !steps_.empty(); });
            if (stopping_) {
                return;
            }
            step = std::move(steps_.front());
            steps_.pop_front();
        }
        step(client);
    }
}

}  // namespace korvane
