#include "StoreWorker.h"

namespace korvane {

StoreWorker::StoreWorker(Factory factory)
    : thread_([this, factory = std::move(factory)] { Loop(factory); }) {}

StoreWorker::~StoreWorker() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        steps_.clear();
    }
    wake_.notify_one();
    thread_.join();
}

void StoreWorker::Post(Step step) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        steps_.push_back(std::move(step));
    }
    wake_.notify_one();
}

void StoreWorker::Loop(const Factory& factory) {
    const std::unique_ptr<store::FileStore> store = factory();
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
        step(*store);
    }
}

}  // namespace korvane
