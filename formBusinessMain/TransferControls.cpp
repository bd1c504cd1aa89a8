#include "TransferControls.h"

namespace korvane {

namespace {
// The focus inside the window of w, whether or not that window is active.
QWidget* FocusIn(const QWidget* w) {
    return w->window()->focusWidget();
}
}  // namespace

void TransferControls::Disable() {
    if (!enabled_) {
        return;
    }
    enabled_ = false;
    left_ = FocusIn(controls_.first());
    for (QWidget* w : controls_) {
        w->setEnabled(false);
    }
    parked_ = FocusIn(controls_.first());
}

void TransferControls::Enable() {
    if (enabled_) {
        return;
    }
    enabled_ = true;
    for (QWidget* w : controls_) {
        w->setEnabled(true);
    }
    if (left_ && left_ != parked_ && FocusIn(controls_.first()) == parked_ && left_->isEnabled() &&
        left_->isVisible()) {
        left_->setFocus(Qt::OtherFocusReason);
    }
}

}  // namespace korvane
