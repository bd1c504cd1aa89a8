#include "TransferRunner.h"

#include <QEventLoop>
#include <QTimer>
#include <QWindow>

#include "TransferDialog.h"

namespace korvane {

TransferRunner::~TransferRunner() {
    Cancel();
    Finish();
}

void TransferRunner::Cancel() {
    if (state_) {
        state_->cancel.store(true);
    }
}

void TransferRunner::Finish() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

TransferOutcome TransferRunner::Run(const TransferJob& job) {
    state_ = std::make_shared<TransferState>();
    // The worker is joined before Run returns: it may use these locals.
    TransferOutcome outcome;
    std::atomic<bool> finished{false};
    QEventLoop loop;
    worker_ = std::thread([&job, state = state_, &outcome, &finished, &loop] {
        outcome = RunTransfer(job, *state);
        finished.store(true);
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    // A window of its own, not a child of the owner: the disabled owner would disable it too,
    // and with it the cancel button.
    QPointer<TransferDialog> dialog =
        new TransferDialog(nullptr, job.direction, job.remote, state_);
    QPointer<QWidget> above = owner_ ? owner_->window() : nullptr;
    QTimer::singleShot(kDialogDelayMs, dialog, [dialog, above] {
        dialog->winId();
        if (above && above->windowHandle() != nullptr) {
            dialog->windowHandle()->setTransientParent(above->windowHandle());
        }
        dialog->show();
    });
    const QPointer<QWidget> focus = owner_ ? owner_->focusWidget() : nullptr;
    if (owner_) {
        owner_->setEnabled(false);
        QObject::connect(owner_, &QObject::destroyed, &loop, &QEventLoop::quit);
    }
    if (!finished.load()) {
        loop.exec();
    }
    if (!finished.load()) {
        Cancel();  // the loop was ended from outside: the application quits, the owner went
    }
    Finish();
    delete dialog;
    if (owner_) {
        owner_->setEnabled(true);
        if (focus) {
            focus->setFocus();
        }
    }
    return outcome;
}

}  // namespace korvane
