#include "WindowTransfers.h"

#include <QWidget>

#include "RunningJobs.h"
#include "TransferDialog.h"
#include "TransferProgress.h"
#include "Translate.h"

using korvane::Tr;

namespace korvane {

WindowTransfers::WindowTransfers(QWidget* window, int32_t operatorId)
    : QObject(window), window_(window), operatorId_(operatorId) {
    connect(&queue_, &TransferQueue::started, this, &WindowTransfers::Started);
    connect(&queue_, &TransferQueue::ended, this, &WindowTransfers::Ended);
}

WindowTransfers::~WindowTransfers() {
    delete dialog_;
}

void WindowTransfers::Started(TransferJob* job, const TransferQueue::Item& item) {
    const TransferRequest& request = job->Request();
    telmaris::JobInfo info;
    info.window = window_->windowTitle();
    info.order = request.remote.section(u'_', 0, 0);
    info.file = request.remote;
    info.localPath = request.local;
    info.upload = request.direction == Direction::Upload;
    info.operatorId = operatorId_;
    const QPointer<TransferJob> watched(job);
    telmaris::JobHooks hooks;
    hooks.cancel = [watched] {
        if (watched) {
            watched->Cancel();
        }
    };
    hooks.progress = [watched] {
        telmaris::JobProgress p;
        if (watched) {
            const ProgressSnapshot s =
                SnapshotOf(*watched->State(), watched->StartedMs(), MonotonicMs());
            const int64_t left = SecondsLeft(s);
            p = {DoneText(s), SpeedText(s), left >= 0 ? FormatDuration(left) : QString()};
        }
        return p;
    };
    // Again in this window, behind what it runs now; nothing once the window is gone.
    hooks.retry = [self = QPointer<WindowTransfers>(this), item] {
        if (self) {
            self->queue_.Add(item);
        }
    };
    telmaris::RunningJobs::Instance().Add(job, info, hooks);
    delete dialog_;
    dialog_ = TransferDialog::ShowLater(window_, *job);
}

void WindowTransfers::Ended(TransferJob* job) {
    const TransferOutcome& outcome = job->Outcome();
    using State = telmaris::RunningJobs::State;
    telmaris::RunningJobs::Instance().End(
        job,
        outcome.Succeeded() ? State::Succeeded
                            : (outcome.cancelled ? State::Cancelled : State::Failed),
        outcome.Succeeded() ? Tr("korvane", "成功") : OutcomeMessage(job->Request(), outcome),
        job->State()->done.load());
    delete dialog_;
}

}  // namespace korvane
