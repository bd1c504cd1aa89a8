#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

namespace korvane {

// The controls of a window that wait while it transfers: disabled and enabled together. Qt
// moves the focus off a control that is disabled (from 上传 on to 退出, where the next Space
// would close the window); enabled again, the focus goes back where the operator left it,
// unless the operator moved it meanwhile.
class TransferControls {
public:
    explicit TransferControls(QList<QWidget*> controls) : controls_(std::move(controls)) {}

    void Disable();
    void Enable();
    // Whether they take input now: what is disabled is not started in another way either.
    bool Enabled() const { return enabled_; }

private:
    QList<QWidget*> controls_;
    bool enabled_ = true;
    QPointer<QWidget> left_;    // where the operator was
    QPointer<QWidget> parked_;  // where Qt put the focus instead
};

}  // namespace korvane
