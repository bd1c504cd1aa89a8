#include "TransferDialog.h"

#include <climits>

#include "TransferProgress.h"

namespace korvane {

TransferDialog::TransferDialog(QWidget* owner, Direction direction, const QString& name,
                               std::shared_ptr<TransferState> state)
    : QProgressDialog(owner, Qt::Dialog),
      direction_(direction),
      name_(name),
      state_(std::move(state)),
      startMs_(MonotonicMs()) {
    setObjectName(QStringLiteral("TransferDialog"));
    setWindowTitle(direction == Direction::Upload ? QStringLiteral("文件上传")
                                                  : QStringLiteral("文件下载"));
    setWindowModality(Qt::NonModal);  // the owner is disabled instead: the host stays usable
    setMinimumDuration(INT_MAX);      // shown by the runner, not by the dialog's own guess
    setAutoClose(false);
    setAutoReset(false);
    setRange(0, 1000);
    setCancelButtonText(QStringLiteral("取消"));
    setMinimumWidth(420);
    connect(this, &QProgressDialog::canceled, this, [this] {
        state_->cancel.store(true);
        Refresh();
    });
    connect(&refresh_, &QTimer::timeout, this, &TransferDialog::Refresh);
    refresh_.start(kRefreshMs);
    Refresh();
}

void TransferDialog::Refresh() {
    const int64_t now = MonotonicMs();
    ProgressSnapshot s;
    s.done = state_->done.load(std::memory_order_relaxed);
    s.total = state_->total.load(std::memory_order_relaxed);
    s.from = state_->from.load(std::memory_order_relaxed);
    s.elapsedMs = now - startMs_;
    s.silentMs = now - state_->lastActivityMs.load(std::memory_order_relaxed);
    const int permille = ProgressPermille(s);
    if (permille < 0) {
        setRange(0, 0);  // a busy bar when the size is not known
    } else {
        setRange(0, 1000);
        setValue(permille);
    }
    QString text = ProgressText(direction_, name_, s);
    if (state_->cancel.load()) {
        text += QStringLiteral("\n正在取消…");
    }
    setLabelText(text);
}

}  // namespace korvane
