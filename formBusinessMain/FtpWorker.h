#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "CFTPClient.h"

namespace korvane {

// A thread of its own that owns one FTP client and runs the steps given to it, one after
// another, so that a session lives across the steps of one transfer. A step hands its result
// back itself (a queued call to an object on the GUI thread).
class FtpWorker {
public:
    using Step = std::function<void(CFTPClient&)>;

    FtpWorker();
    // Runs no step that has not begun and awaits the one running: cancel it first, and its
    // network waits end within about 100 ms.
    ~FtpWorker();
    FtpWorker(const FtpWorker&) = delete;
    FtpWorker& operator=(const FtpWorker&) = delete;

    void Post(Step step);

private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Step> steps_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the members it uses exist
};

}  // namespace korvane
