#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>

#include "TransferQueue.h"

class QWidget;

namespace korvane {

class TransferDialog;

// What a window's transfers show outside the window: each job in the host's list of running
// jobs (cancel, progress, retry of a failed one in this window), a progress dialog of its own
// that names the window and file, and the end written to the transfer log.
class WindowTransfers : public QObject {
    Q_OBJECT
public:
    WindowTransfers(QWidget* window, int32_t operatorId);
    ~WindowTransfers() override;

    TransferQueue& Queue() { return queue_; }
    void SetOperator(int32_t operatorId) { operatorId_ = operatorId; }

private:
    void Started(TransferJob* job, const TransferQueue::Item& item);
    void Ended(TransferJob* job);

    QWidget* window_;
    int32_t operatorId_;
    TransferQueue queue_;
    QPointer<TransferDialog> dialog_;
};

}  // namespace korvane
