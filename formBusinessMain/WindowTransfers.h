#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

#include "TransferQueue.h"
#include "TransferReports.h"

class QWidget;

namespace korvane {

class TransferControls;
class TransferDialog;

// A window's transfers: they run one after another as jobs, while the window's transfer
// controls wait (and nothing they would start starts in another way); each shows in the host's
// list of running jobs (cancel, progress, and a retry that the window judges as it judges its
// own buttons), in a progress dialog that names the window and file, and in the transfer log.
// What the operator is told of each job, of a batch and of the session's warnings follows the
// report rules.
class WindowTransfers : public QObject {
    Q_OBJECT
public:
    // Gives a request the site's settings as they are now; the reason when they allow none.
    using Settle = std::function<QString(TransferRequest*)>;
    using Notice = std::function<void(const QString&)>;

    WindowTransfers(QWidget* window, QList<QWidget*> controls, Settle settle, Notice notice);
    ~WindowTransfers() override;

    TransferQueue& Queue() { return queue_; }
    void SetOperator(int32_t operatorId) { operatorId_ = operatorId; }

    // Starts items as the window's own transfers, each settled now: false, with the reason
    // told, when the settings allow none (then nothing starts). skipped: names of the batch the
    // operator chose not to transfer, which its summary names.
    bool Start(Direction direction, QList<TransferQueue::Item> items,
               const QStringList& skipped = {});
    // Whether the window takes a new transfer: not while one runs, nor once it closes.
    bool Idle() const;
    // The window goes: what runs is cancelled, nothing more is told, and batchEnded comes once
    // all has cleaned up.
    void CloseWhenDone();
    bool Closing() const { return closing_; }
    // The window is asked to close while it transfers: asks, as one of its boxes (the host and
    // the other windows go on meanwhile), whether to cancel and close; a yes cancels, and close
    // runs once all has ended (at once when it already has). One question at a time.
    void AskToClose(const QString& title, std::function<void()> close);

signals:
    // The queue ran dry and what there was to tell was told; what the window does now.
    void batchEnded(const korvane::BatchEnd& end);

private:
    void Started(TransferJob* job, const TransferQueue::Item& item);
    void Ended(TransferJob* job);
    void Finished();
    // Settles and queues items: the reason when the settings allow none (nothing queued then).
    QString Enqueue(Direction direction, QList<TransferQueue::Item> items,
                    const QStringList& skipped = {});
    QString Retry(const TransferQueue::Item& item);

    QWidget* window_;
    std::unique_ptr<TransferControls> controls_;
    Settle settle_;
    Notice notice_;
    int32_t operatorId_ = 0;
    bool closeAsked_ = false;  // the question whether to cancel and close is up
    TransferQueue queue_;
    QPointer<TransferDialog> dialog_;
    Direction direction_ = Direction::Upload;  // of the batch that runs
    QStringList warnings_;                     // of the batch that runs
    SessionNotices notices_;
    bool closing_ = false;
};

}  // namespace korvane
