#pragma once

#include <QProgressDialog>
#include <QTimer>
#include <memory>

#include "Transfer.h"

namespace korvane {

// The progress of one transfer as the operator sees it: name and direction, percent, bytes,
// average speed, time left, a wait for a silent server; "取消" asks the worker to stop.
class TransferJob;

class TransferDialog : public QProgressDialog {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 200;
    static constexpr int kDialogDelayMs = 500;

    // The dialog of job, shown after kDialogDelayMs as a window of its own above owner's
    // window (a child of a window whose controls wait would be disabled with them), offset
    // from the dialogs already shown. It goes when the caller deletes it.
    static TransferDialog* ShowLater(QWidget* owner, TransferJob& job);

    TransferDialog(QWidget* owner, Direction direction, const QString& name,
                   std::shared_ptr<TransferState> state);
    // Reads the state and shows it.
    void Refresh();

private:
    Direction direction_;
    QString name_;
    std::shared_ptr<TransferState> state_;
    int64_t startMs_;
    QTimer refresh_;
};

}  // namespace korvane
