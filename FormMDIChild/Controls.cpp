#include "Controls.h"

#include <QFontMetrics>

void TComboBox::showPopup() {
    if (OnDropDown) {
        OnDropDown(this);
    }
    QComboBox::showPopup();
}

THintWindow::THintWindow(QWidget* owner)
    : QLabel(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setWordWrap(true);
    setMargin(2);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);
}

QRect THintWindow::CalcHintRect(int maxWidth, const QString& text) const {
    const int pad = 2 * (margin() + frameWidth()) + 4;
    const QRect r = fontMetrics().boundingRect(QRect(0, 0, qMax(1, maxWidth - pad), 1 << 20),
                                               Qt::TextWordWrap | Qt::AlignLeft, text);
    return QRect(0, 0, r.width() + pad, r.height() + pad);
}

void THintWindow::ActivateHint(const QRect& rect, const QString& text) {
    setText(text);
    setGeometry(rect);
    show();
    raise();
}

void THintWindow::ReleaseHandle() {
    hide();
}
