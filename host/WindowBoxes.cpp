#include "WindowBoxes.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <algorithm>

namespace telmaris {

namespace {
QWidget*& CurrentOwner() {
    static QWidget* owner = nullptr;
    return owner;
}

// Boxes up or waiting carry this mark; a finished one drops it before it is deleted.
const char* const kBoxMark = "telmarisWindowBox";

QList<QDialog*> BoxesOf(const QWidget* owner) {
    QList<QDialog*> boxes = owner->findChildren<QDialog*>(Qt::FindDirectChildrenOnly);
    boxes.removeIf([](const QDialog* box) { return !box->property(kBoxMark).toBool(); });
    return boxes;
}

bool IsInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

// The box up over w's window, if any: a widget of a box's own is never held back by it.
QDialog* BoxOver(QWidget* w) {
    for (; w != nullptr; w = w->parentWidget()) {
        if (const QList<QDialog*> boxes = BoxesOf(w); !boxes.isEmpty()) {
            return boxes.constFirst();
        }
        if (w->isWindow()) {
            break;
        }
    }
    return nullptr;
}

// Keeps input away from a window whose box is up, as window modality does for a top-level
// window: an MDI child is no window of its own to Qt, and its host must stay usable.
class InputBlocker : public QObject {
public:
    using QObject::QObject;
    static void Install() {
        static QPointer<InputBlocker> blocker;
        if (blocker.isNull() && qApp != nullptr) {
            blocker = new InputBlocker(qApp);
            qApp->installEventFilter(blocker);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!IsInput(event->type()) || !watched->isWidgetType()) {
            return false;
        }
        QDialog* box = BoxOver(static_cast<QWidget*>(watched));
        if (box == nullptr) {
            return false;
        }
        if (event->type() == QEvent::MouseButtonPress) {
            box->raise();
            box->activateWindow();
        }
        event->accept();  // a shortcut override taken here keeps the key from shortcuts too
        return true;
    }
};

// Shows box centred over the part of owner that shows, on owner's screen.
void ShowOver(QWidget* owner, QDialog* box) {
    box->show();
    const QRect visible = owner->visibleRegion().boundingRect();
    QRect frame = box->frameGeometry();
    frame.moveCenter(owner->mapToGlobal((visible.isEmpty() ? owner->rect() : visible).center()));
    if (const QScreen* screen = owner->screen()) {
        const QRect room = screen->availableGeometry();
        frame.moveLeft(std::max(room.left(), std::min(frame.left(), room.right() - frame.width())));
        frame.moveTop(std::max(room.top(), std::min(frame.top(), room.bottom() - frame.height())));
    }
    box->move(frame.topLeft());
    box->raise();
    box->activateWindow();
}
}  // namespace

BoxOwner::BoxOwner(QWidget* window) : previous_(CurrentOwner()) {
    CurrentOwner() = window;
}

BoxOwner::~BoxOwner() {
    CurrentOwner() = previous_;
}

QWidget* BoxOwner::Current() {
    return CurrentOwner();
}

void OpenWindowBox(QWidget* owner, QDialog* box) {
    InputBlocker::Install();
    const QList<QDialog*> before = BoxesOf(owner);
    box->setParent(owner, Qt::Dialog);
    box->setProperty(kBoxMark, true);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QDialog::finished, box, [box] { box->setProperty(kBoxMark, false); });
    if (before.isEmpty()) {
        ShowOver(owner, box);
    } else {
        QObject::connect(before.constLast(), &QDialog::finished, box,
                         [owner, box] { ShowOver(owner, box); });
    }
}

}  // namespace telmaris
