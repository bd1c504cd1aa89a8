#include "WindowTransfers.h"

#include <QWidget>
#include <utility>

#include "RunningJobs.h"
#include "TransferControls.h"
#include "TransferDialog.h"
#include "TransferProgress.h"
#include "Translate.h"
#include "WindowBoxes.h"

using korvane::Tr;

namespace korvane {

WindowTransfers::WindowTransfers(QWidget* window, QList<QWidget*> controls, Settle settle,
                                 Notice notice)
    : QObject(window),
      window_(window),
      controls_(std::make_unique<TransferControls>(std::move(controls))),
      settle_(std::move(settle)),
      notice_(std::move(notice)) {
    connect(&queue_, &TransferQueue::started, this, &WindowTransfers::Started);
    connect(&queue_, &TransferQueue::ended, this, &WindowTransfers::Ended);
    connect(&queue_, &TransferQueue::refused, this,
            [this](const TransferQueue::Item&, const QString& why) {
                const telmaris::BoxOwner owner(window_);
                if (ReportsEachJob(queue_.BatchSize(), closing_)) {
                    notice_(why);
                }
            });
    connect(&queue_, &TransferQueue::finished, this, &WindowTransfers::Finished);
}

WindowTransfers::~WindowTransfers() {
    delete dialog_;
}

bool WindowTransfers::Start(Direction direction, QList<TransferQueue::Item> items,
                            const QStringList& skipped) {
    const QString invalid = Enqueue(direction, std::move(items), skipped);
    if (!invalid.isEmpty()) {
        notice_(invalid);  // nothing is transferred with a setting the site did not mean
    }
    return invalid.isEmpty();
}

QString WindowTransfers::Enqueue(Direction direction, QList<TransferQueue::Item> items,
                                 const QStringList& skipped) {
    for (TransferQueue::Item& item : items) {
        if (QString invalid = settle_(&item.request); !invalid.isEmpty()) {
            return invalid;
        }
    }
    direction_ = direction;
    controls_->Disable();
    for (const QString& name : skipped) {
        queue_.Skip(name);
    }
    for (const TransferQueue::Item& item : items) {
        queue_.Add(item);
    }
    return QString();
}

bool WindowTransfers::Idle() const {
    return controls_->Enabled() && !closing_;
}

void WindowTransfers::CloseWhenDone() {
    closing_ = true;
    queue_.CancelAll();
}

void WindowTransfers::AskToClose(const QString& title, std::function<void()> close) {
    if (closing_ || closeAsked_) {
        return;
    }
    closeAsked_ = true;
    telmaris::AskInWindow(window_, Tr("korvane", "正在传输文件，要取消传输并关闭窗口吗？"), title,
                          [this, close = std::move(close)](bool yes) {
                              closeAsked_ = false;
                              if (!yes || closing_) {
                                  return;
                              }
                              if (queue_.Busy()) {
                                  CloseWhenDone();
                              } else {
                                  close();
                              }
                          });
}

QString WindowTransfers::Retry(const TransferQueue::Item& item) {
    if (!Idle()) {
        return Tr("korvane", "窗口[%1]正在传输文件，请等它的传输结束后再重试。")
            .arg(window_->windowTitle());
    }
    return Enqueue(item.request.direction, {item});
}

void WindowTransfers::Finished() {
    const telmaris::BoxOwner owner(window_);
    const BatchEnd end = JudgeBatch(direction_, queue_.Batch());
    controls_->Enable();
    if (!closing_) {
        if (!end.summary.isEmpty()) {
            notice_(end.summary);
        }
        for (const QString& warning : notices_.Untold(std::exchange(warnings_, {}))) {
            notice_(warning);
        }
    }
    emit batchEnded(end);
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
    hooks.progress = [watched, recent = std::make_shared<RecentSpeed>()] {
        telmaris::JobProgress p;
        if (watched) {
            const int64_t now = MonotonicMs();
            const ProgressSnapshot s = SnapshotOf(*watched->State(), watched->StartedMs(), now);
            recent->Add(now, s.done);
            const int64_t left = SecondsLeft(s);
            p = {DoneText(s), SpeedText(s), recent->Text(),
                 left >= 0 ? FormatDuration(left) : QString()};
        }
        return p;
    };
    hooks.pause = [watched] { return watched && watched->Pause(); };
    hooks.resume = [watched] { return watched && watched->Resume(); };
    connect(job, &TransferJob::pausedChanged, this,
            [job](bool paused) { telmaris::RunningJobs::Instance().SetPaused(job, paused); });
    // Judged as the window's own buttons are; nothing once the window is gone.
    hooks.retry = [self = QPointer<WindowTransfers>(this), item] {
        return self ? self->Retry(item) : Tr("korvane", "窗口已关闭，不能重试。");
    };
    telmaris::RunningJobs::Instance().Add(job, info, hooks);
    delete dialog_;
    dialog_ = TransferDialog::ShowLater(window_, *job);
}

void WindowTransfers::Ended(TransferJob* job) {
    const telmaris::BoxOwner owner(window_);
    const TransferOutcome& outcome = job->Outcome();
    using State = telmaris::RunningJobs::State;
    if (!outcome.savedAs.isEmpty()) {
        telmaris::RunningJobs::Instance().SetLocalPath(job, outcome.savedAs);
    }
    const QString succeeded =
        outcome.alreadyThere ? Tr("korvane", "已在本地，未重新下载") : Tr("korvane", "成功");
    telmaris::RunningJobs::Instance().End(
        job,
        outcome.Succeeded() ? State::Succeeded
                            : (outcome.cancelled ? State::Cancelled : State::Failed),
        outcome.Succeeded() ? succeeded : OutcomeMessage(job->Request(), outcome),
        job->State()->done.load());
    delete dialog_;
    warnings_ << outcome.warnings;
    const auto& report = queue_.Current().report;
    if (report && ReportsEachJob(queue_.BatchSize(), closing_)) {
        report(*job);
    }
}

}  // namespace korvane
