#include "FormScroller.h"

#include <QCloseEvent>
#include <QPointer>

FormScroller::FormScroller(QWidget* form) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    form->setMinimumSize(form->size());
    setWidget(form);
    setWindowTitle(form->windowTitle());
    connect(form, &QWidget::windowTitleChanged, this, &QWidget::setWindowTitle);
}

void FormScroller::closeEvent(QCloseEvent* event) {
    QPointer<QWidget> form = widget();
    if (form && form->isVisible() && !form->close()) {
        event->ignore();
        return;
    }
    event->accept();
}
