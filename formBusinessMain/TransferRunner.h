#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <thread>

#include "FtpDriver.h"

namespace korvane {

// Runs one transfer on a worker thread of its own, which owns the FTP client, while the GUI
// thread waits in an event loop: the host repaints, resizes and keeps its other windows usable.
// The owner's window is disabled until the transfer ends, so nothing else happens there; after
// kDialogDelayMs a progress dialog shows, a window of its own kept above the owner's.
class TransferRunner {
public:
    static constexpr int kDialogDelayMs = 500;

    explicit TransferRunner(QWidget* owner) : owner_(owner) {}
    // A transfer still running is cancelled and its worker awaited.
    ~TransferRunner();
    TransferRunner(const TransferRunner&) = delete;
    TransferRunner& operator=(const TransferRunner&) = delete;

    TransferOutcome Run(const TransferJob& job);
    // Asks the running transfer to stop; it ends within about 100 ms of network wait.
    void Cancel();

private:
    void Finish();

    QPointer<QWidget> owner_;
    std::shared_ptr<TransferState> state_;
    std::thread worker_;
};

}  // namespace korvane
