// The base form's overflow hint: a mouse over an edit box or combo box too narrow for its text
// shows the whole text in the form's hint window.
#include <QComboBox>
#include <QCursor>
#include <QLineEdit>
#include <QMouseEvent>

#include "Controls.h"
#include "TfrmMDIChild.h"

void TfrmMDIChild::CMMouseMove(QObject* control) {
    const QList<QObject*> owned = OwnedComponents(control);
    for (QObject* o : owned) {
        if (qobject_cast<TFrame*>(o)) {
            BindMouseMove(static_cast<QWidget*>(o));
            CMMouseMove(o);
        } else if (korvane::tree::IsMouseMoveContainer(o)) {
            BindMouseMove(static_cast<QWidget*>(o));
        }
    }
}

void TfrmMDIChild::BindMouseMove(QWidget* w) {
    if (mouseMove_.contains(w)) {
        return;
    }
    mouseMove_.insert(w);
    w->setMouseTracking(true);
    w->installEventFilter(this);
    Forget(w);
}

bool TfrmMDIChild::MouseMoved(QObject* watched, QMouseEvent* move) {
    auto* w = static_cast<QWidget*>(watched);
    if (!w->isEnabled()) {
        return false;  // disabled controls pass their moves to the container beneath
    }
    if (mouseMove_.contains(watched)) {
        const QPoint p = move->position().toPoint();
        FormMouseMove(watched, move->modifiers(), p.x(), p.y());
        // A move belongs to the control under the cursor alone; containers do not pass it on
        // to theirs, and edit boxes still use it for selecting text.
        return !qobject_cast<QLineEdit*>(w);
    }
    return qobject_cast<QComboBox*>(korvane::tree::OuterControl(w)) != nullptr;
}

void TfrmMDIChild::FormMouseMove(QObject* sender, Qt::KeyboardModifiers, int x, int y) {
    auto* container = qobject_cast<QWidget*>(sender);
    QWidget* form = container ? FormOf(container) : nullptr;
    if (form == nullptr) {
        return;
    }
    auto* hint =
        form->findChild<THintWindow*>(QLatin1String(kHintWindowName), Qt::FindDirectChildrenOnly);
    if (hint == nullptr) {
        return;
    }
    QWidget* child = korvane::tree::DirectChildAt(container, QPoint(x, y));
    QString text;
    int width = 0;
    int needed = 0;
    if (auto* edit = qobject_cast<QLineEdit*>(child); edit && korvane::tree::IsEditBox(edit)) {
        if (edit->echoMode() != QLineEdit::Normal) {
            return;  // a password box never reveals its text
        }
        text = edit->text();
        width = edit->width();
        needed = QFontMetrics(form->font()).horizontalAdvance(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(child)) {
        text = combo->currentText();
        width = combo->width();
        needed = QFontMetrics(combo->font()).horizontalAdvance(text);
    }
    needed += kHintMargin;
    if (!text.isEmpty() && width < needed) {
        const QRect r = hint->CalcHintRect(form->width(), text);
        const QPoint cursor = QCursor::pos();
        hint->ActivateHint(QRect(cursor.x(), cursor.y() - r.height(), r.width(), r.height()), text);
    } else {
        hint->ReleaseHandle();
    }
}
