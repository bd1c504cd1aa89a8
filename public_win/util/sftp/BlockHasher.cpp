#include "BlockHasher.h"

namespace korvane::sftp {

BlockHasher::BlockHasher() : thread_([this] { Run(); }) {}

BlockHasher::~BlockHasher() {
    Finish();
}

void BlockHasher::Add(std::string block) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.size() < kMaxWaiting; });
    waiting_.push_back(std::move(block));
    changed_.notify_all();
}

std::string BlockHasher::Spare() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.empty()) {
        return std::string();
    }
    std::string block = std::move(spare_.back());
    spare_.pop_back();
    return block;
}

std::string BlockHasher::Finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finishing_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    return sha_.HexDigest();
}

void BlockHasher::Run() {
    for (;;) {
        std::string block;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !waiting_.empty() || finishing_; });
            if (waiting_.empty()) {
                return;
            }
            block = std::move(waiting_.front());
            waiting_.pop_front();
            changed_.notify_all();
        }
        sha_.Update(block.data(), block.size());
        std::lock_guard<std::mutex> lock(mutex_);
        if (spare_.size() < kMaxWaiting) {
            spare_.push_back(std::move(block));
        }
    }
}

}  // namespace korvane::sftp
