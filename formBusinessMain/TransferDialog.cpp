#include "TransferDialog.h"

#include <climits>

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include "TransferJob.h"
#include "TransferProgress.h"
#include "Translate.h"

using korvane::Tr;

namespace korvane {

TransferDialog::TransferDialog(QWidget* owner, Direction direction, const QString& name,
                               std::shared_ptr<TransferState> state)
    : QProgressDialog(owner, Qt::Dialog),
      direction_(direction),
      name_(name),
      state_(std::move(state)),
      startMs_(MonotonicMs()) {
    setObjectName(QStringLiteral("TransferDialog"));
    setWindowTitle(direction == Direction::Upload ? Tr("korvane", "文件上传")
                                                  : Tr("korvane", "文件下载"));
    setWindowModality(Qt::NonModal);  // the owner is disabled instead: the host stays usable
    setMinimumDuration(INT_MAX);      // shown by the runner, not by the dialog's own guess
    setAutoClose(false);
    setAutoReset(false);
    setRange(0, 1000);
    setCancelButtonText(Tr("korvane", "取消"));
    setMinimumWidth(420);
    connect(this, &QProgressDialog::canceled, this, [this] {
        state_->cancel.store(true);
        Refresh();
    });
    connect(&refresh_, &QTimer::timeout, this, &TransferDialog::Refresh);
    refresh_.start(kRefreshMs);
    Refresh();
}

TransferDialog* TransferDialog::ShowLater(QWidget* owner, TransferJob& job) {
    const TransferRequest& request = job.Request();
    auto* dialog = new TransferDialog(nullptr, request.direction, request.remote, job.State());
    // A paused job has no transfer running that the cancel flag would end.
    connect(dialog, &QProgressDialog::canceled, &job, &TransferJob::Cancel);
    if (owner != nullptr) {
        dialog->setWindowTitle(dialog->windowTitle() + QStringLiteral(" - ") +
                               owner->windowTitle());
    }
    const QPointer<QWidget> above = owner != nullptr ? owner->window() : nullptr;
    QTimer::singleShot(kDialogDelayMs, dialog, [dialog, above] {
        dialog->winId();
        if (above && above->windowHandle() != nullptr) {
            dialog->windowHandle()->setTransientParent(above->windowHandle());
        }
        // Dialogs of several windows' transfers never cover one another exactly.
        int shown = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            shown += w != dialog && qobject_cast<TransferDialog*>(w) != nullptr && w->isVisible();
        }
        dialog->show();
        if (shown > 0) {
            dialog->move(dialog->pos() + QPoint(32, 48) * shown);
        }
    });
    return dialog;
}

void TransferDialog::Refresh() {
    const ProgressSnapshot s = SnapshotOf(*state_, startMs_, MonotonicMs());
    const int permille = ProgressPermille(s);
    if (permille < 0) {
        setRange(0, 0);  // a busy bar when the size is not known
    } else {
        setRange(0, 1000);
        setValue(permille);
    }
    QString text = ProgressText(direction_, name_, s);
    if (state_->paused.load()) {
        text += Tr("korvane", "\n已暂停");
    } else if (state_->cancel.load()) {
        text += Tr("korvane", "\n正在取消…");
    }
    setLabelText(text);
}

}  // namespace korvane
