// The base form's keys: the five edit-box filters bound by the description, and the Enter
// routing of forms with key preview.
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include "KeyFilters.h"
#include "TfrmMDIChild.h"

namespace {

// Sees every key pressed in the application before the focused control does, for the forms
// whose key preview is on.
class KeyPreviewFilter : public QObject {
public:
    explicit KeyPreviewFilter(std::function<bool(QObject*, QKeyEvent*)> handler, QObject* parent)
        : QObject(parent), handler_(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            return handler_(watched, static_cast<QKeyEvent*>(event));
        }
        return false;
    }

private:
    std::function<bool(QObject*, QKeyEvent*)> handler_;
};

// Keys that act at key-down, before or without a character: Tab moves the focus, Delete
// deletes, Escape and Enter reach the control. X11 gives them a control character as text,
// which the filter judges like any other; the key itself goes on.
bool ActsAtKeyDown(int key) {
    switch (key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Delete:
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return true;
        default:
            return false;
    }
}

}  // namespace

void TfrmMDIChild::BindDescribedKeyFilters() {
    static const QHash<QString, KeyPressHandler> kFilters{
        {QStringLiteral("OnEditKeyPress"), &TfrmMDIChild::OnEditKeyPress},
        {QStringLiteral("OnEditKeyPressDeciPoint"), &TfrmMDIChild::OnEditKeyPressDeciPoint},
        {QStringLiteral("OnEditKeyPressTraverse"), &TfrmMDIChild::OnEditKeyPressTraverse},
        {QStringLiteral("OnEditKeyPressTraverseChar"), &TfrmMDIChild::OnEditKeyPressTraverseChar},
        {QStringLiteral("OnEditKeyPressEmail"), &TfrmMDIChild::OnEditKeyPressEmail},
    };
    for (QObject* o : findChildren<QObject*>()) {
        const QString name = o->property("OnKeyPress").toString();
        if (name.isEmpty()) {
            continue;
        }
        const auto it = kFilters.find(name);
        if (it == kFilters.end()) {
            qWarning("%s: no key filter named %s", qPrintable(o->objectName()), qPrintable(name));
            continue;
        }
        keyPress_.insert(o, it.value());
        o->installEventFilter(this);
        Forget(o);
    }
}

void TfrmMDIChild::SetNextFocus(QObject* control) {
    auto* form = qobject_cast<QWidget*>(control);
    if (!form || !(qobject_cast<TfrmMDIChild*>(form) || form->isWindow())) {
        return;
    }
    form->setProperty("KeyPreview", true);
    keyPreviewForms_.insert(form);
    Forget(form);
    if (!appFilterInstalled_) {
        appFilterInstalled_ = true;
        qApp->installEventFilter(new KeyPreviewFilter(
            [this](QObject* w, QKeyEvent* e) { return PreviewKeyDown(w, e); }, this));
    }
}

void TfrmMDIChild::OnEditKeyPress(QObject*, char& key) {
    key = korvane::keys::PassDigits(static_cast<signed char>(key)) ? key : 0;
}
void TfrmMDIChild::OnEditKeyPressDeciPoint(QObject*, char& key) {
    key = korvane::keys::PassDecimal(static_cast<signed char>(key)) ? key : 0;
}
void TfrmMDIChild::OnEditKeyPressTraverse(QObject*, char& key) {
    key = korvane::keys::PassTraverse(static_cast<signed char>(key)) ? key : 0;
}
void TfrmMDIChild::OnEditKeyPressTraverseChar(QObject*, char& key) {
    key = korvane::keys::PassSingleByte(static_cast<signed char>(key)) ? key : 0;
}
void TfrmMDIChild::OnEditKeyPressEmail(QObject*, char& key) {
    key = korvane::keys::PassSingleByte(static_cast<signed char>(key)) ? key : 0;
}

bool TfrmMDIChild::KeyPressed(QObject* watched, QKeyEvent* event) {
    if (combos_.contains(watched) && watched == QApplication::focusWidget()) {
        quint16 code = korvane::vk::FromQtKey(event->key());
        OnComboBoxKeyDown(watched, code, event->modifiers());
    }
    return keyPress_.contains(watched) && FilterKeyPress(watched, event);
}

QString TfrmMDIChild::FilterText(QObject* watched, const QString& text) {
    const KeyPressHandler handler = keyPress_.value(watched);
    return korvane::keys::FilterTypedText(text, [&](signed char c) {
        char key = static_cast<char>(c);
        (this->*handler)(watched, key);
        return key != 0;
    });
}

bool TfrmMDIChild::FilterKeyPress(QObject* watched, QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty()) {
        return false;
    }
    const QString passed = FilterText(watched, text);
    if (passed == text) {
        return false;
    }
    // The replacement carries only what passed; a key that acts at key-down keeps its code.
    const int key = ActsAtKeyDown(event->key()) ? event->key() : 0;
    if (!passed.isEmpty() || key != 0) {
        QKeyEvent replacement(QEvent::KeyPress, key, event->modifiers(), passed);
        forwarding_ = true;
        QCoreApplication::sendEvent(watched, &replacement);
        forwarding_ = false;
    }
    return true;
}

// Committed input-method text is typed text: the same filter judges it.
void TfrmMDIChild::FilterInputMethod(QObject* watched, QInputMethodEvent* event) {
    const QString commit = event->commitString();
    if (!commit.isEmpty()) {
        event->setCommitString(FilterText(watched, commit), event->replacementStart(),
                               event->replacementLength());
    }
}

bool TfrmMDIChild::PreviewKeyDown(QObject* watched, QKeyEvent* event) {
    QWidget* focus = QApplication::focusWidget();
    auto* target = qobject_cast<QWidget*>(watched);
    if (forwarding_ || target == nullptr || (focus != nullptr && target != focus)) {
        return false;  // only the first delivery, to the focused control
    }
    for (QObject* o : std::as_const(keyPreviewForms_)) {
        auto* form = static_cast<QWidget*>(o);
        if (form == target || form->isAncestorOf(target)) {
            quint16 key = korvane::vk::FromQtKey(event->key());
            OnControlKeyUp(form, key, event->modifiers());
            break;
        }
    }
    return false;
}

void TfrmMDIChild::OnControlKeyUp(QObject* sender, quint16& key, Qt::KeyboardModifiers) {
    auto* form = qobject_cast<TfrmMDIChild*>(FormOf(sender));
    if (form == nullptr || key != korvane::vk::kReturn) {
        return;
    }
    QWidget* focused = korvane::tree::OuterControl(QApplication::focusWidget());
    if (focused && focused->property("Tag").toInt() == kOptOutTag) {
        return;
    }
    PostNextControl(form, true);
}
