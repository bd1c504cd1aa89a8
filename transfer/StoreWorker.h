#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "FileStore.h"

namespace korvane {

// A thread of its own that owns one store session and runs the steps given to it, one after
// another, so that a session lives across the steps of one transfer. A step hands its result
// back itself (a queued call to an object on the GUI thread).
class StoreWorker {
public:
    using Step = std::function<void(store::FileStore&)>;
    using Factory = std::function<std::unique_ptr<store::FileStore>()>;

    // The store is made by factory on the worker's thread, where it lives and dies.
    explicit StoreWorker(Factory factory);
    // Runs no step that has not begun and awaits the one running: cancel it first, and its
    // network waits end within about 100 ms.
    ~StoreWorker();
    StoreWorker(const StoreWorker&) = delete;
    StoreWorker& operator=(const StoreWorker&) = delete;

    void Post(Step step);

private:
    void Loop(const Factory& factory);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Step> steps_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the members it uses exist
};

}  // namespace korvane
