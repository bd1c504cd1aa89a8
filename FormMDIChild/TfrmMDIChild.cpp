#include "TfrmMDIChild.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollArea>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

#include "Controls.h"
#include "FormScroller.h"
#include "GuiServices.h"
#include "HostWindow.h"
#include "KeyFilters.h"
#include "ui_FormMDIChild.h"

const char* const TfrmMDIChild::kHintWindowName = "HCN76F2E4C7A4954525905AE433DE29E7FD";

namespace {

constexpr Qt::WindowFlags kChildFlags = Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
const QRect kRestoredRect(-6, -6, 640, 500);

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

quint16 VirtualKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_F3:
            return TfrmMDIChild::kF3;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Tab:
            return 9;
        default:
            return qtKey > 0xFFFF ? 0 : static_cast<quint16>(qtKey);
    }
}

// Composite controls whose inner widgets are not components of their own.
bool IsComposite(const QObject* o) {
    return qobject_cast<const QComboBox*>(o) || qobject_cast<const QAbstractSpinBox*>(o) ||
           qobject_cast<const QAbstractItemView*>(o) || qobject_cast<const QLineEdit*>(o) ||
           qobject_cast<const THintWindow*>(o);
}

// The framework control around a widget that is a composite's inner part (a combo box's editor).
QWidget* OuterControl(QWidget* w) {
    while (w && w->parentWidget() &&
           (qobject_cast<QComboBox*>(w->parentWidget()) ||
            qobject_cast<QAbstractSpinBox*>(w->parentWidget()))) {
        w = w->parentWidget();
    }
    return w;
}

bool IsEditBox(const QObject* o) {
    const auto* edit = qobject_cast<const QLineEdit*>(o);
    return edit && OuterControl(const_cast<QLineEdit*>(edit)) == edit;
}

bool IsTabSheet(const QObject* o) {
    const auto* w = qobject_cast<const QWidget*>(o);
    return w && qobject_cast<QStackedWidget*>(w->parentWidget()) &&
           qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget());
}

bool IsMouseMoveContainer(const QObject* o) {
    return qobject_cast<const QGroupBox*>(o) || qobject_cast<const TPanel*>(o) ||
           qobject_cast<const QScrollArea*>(o) || qobject_cast<const QHeaderView*>(o) ||
           qobject_cast<const QToolBar*>(o) || IsTabSheet(o) || IsEditBox(o);
}

void Collect(QObject* owner, QList<QObject*>& out) {
    for (QObject* child : owner->children()) {
        out.append(child);
        if (!qobject_cast<TFrame*>(child) && !IsComposite(child)) {
            Collect(child, out);
        }
    }
}

// The direct child of container at p (container coordinates), disabled ones included.
QWidget* DirectChildAt(QWidget* container, const QPoint& p) {
    QWidget* c = container->childAt(p);
    while (c && c->parentWidget() != container) {
        c = c->parentWidget();
    }
    return c;
}

}  // namespace

QColor ColorFromBgr(unsigned bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

QWidget* FormOf(QObject* control) {
    auto* w = qobject_cast<QWidget*>(control);
    for (QWidget* p = w; p; p = p->parentWidget()) {
        if (qobject_cast<TfrmMDIChild*>(p)) {
            return p;
        }
    }
    return w ? w->window() : nullptr;
}

QList<QObject*> OwnedComponents(QObject* owner) {
    QList<QObject*> out;
    if (owner) {
        Collect(owner, out);
    }
    return out;
}

TfrmMDIChild::TfrmMDIChild(QWidget* owner) : TfrmMDIChild(owner, DeferLoad{}) {
    Loaded();
}

TfrmMDIChild::TfrmMDIChild(QWidget* owner, DeferLoad) : QWidget(owner), ui_(new Ui::frmMDIChild) {
    SetupDescription();
}

TfrmMDIChild::~TfrmMDIChild() {
    // Children outlive this part of the object; their destruction must not reach the bindings.
    for (const auto& c : forgetters_) {
        disconnect(c);
    }
    delete ui_;
}

void TfrmMDIChild::Forget(QObject* o) {
    forgetters_.append(connect(o, &QObject::destroyed, this, [this, o] {
        keyPress_.remove(o);
        keyDown_.remove(o);
        comboKeyDown_.remove(o);
        comboContext_.remove(o);
        mouseMove_.remove(o);
    }));
}

void TfrmMDIChild::SetupDescription() {
    ui_->setupUi(this);
    ui_->ActionListPublic->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    setWindowFlags(Qt::Window | kChildFlags);
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    setFont(font);
    setProperty("Tag", 0);
}

QActionGroup* TfrmMDIChild::ActionListPublic() const {
    return ui_->ActionListPublic;
}

// Loading ---------------------------------------------------------------------------------

void TfrmMDIChild::Loaded() {
    BindDescribedKeyFilters();
    if (property("OnMouseMove").toString() == QLatin1String("FormMouseMove")) {
        BindMouseMove(this);
    }
    InitForm(this);
    QMetaObject::invokeMethod(this, "NextControl", Qt::QueuedConnection, Q_ARG(bool, true));
    QMetaObject::invokeMethod(this, "NextControl", Qt::QueuedConnection, Q_ARG(bool, false));
}

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

void TfrmMDIChild::InitForm(QWidget* form) {
    if (form == nullptr) {
        return;
    }
    QPalette palette = form->palette();
    palette.setColor(QPalette::Window, ColorFromBgr(kFormColor));
    form->setPalette(palette);
    MakeInit(form);
    InitTComboBox(form);
    if (!form->findChild<THintWindow*>(QLatin1String(kHintWindowName),
                                       Qt::FindDirectChildrenOnly)) {
        auto* hint = new THintWindow(form);
        QPalette hp = hint->palette();
        hp.setColor(QPalette::Window, ColorFromBgr(kHintColor));
        hint->setPalette(hp);
        hint->setObjectName(QLatin1String(kHintWindowName));
        hint->hide();
    }
    CMMouseMove(form);
    SetNextFocus(form);
    SetGUIStyle(form);
}

void TfrmMDIChild::InitTComboBox(QObject* component) {
    if (component == nullptr) {
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(component)) {
        AttachComboAids(combo);
        return;
    }
    const QList<QObject*> owned = OwnedComponents(component);
    for (auto it = owned.crbegin(); it != owned.crend(); ++it) {
        QObject* o = *it;
        if (auto* combo = qobject_cast<QComboBox*>(o)) {
            AttachComboAids(combo);
        } else if (qobject_cast<TFrame*>(o)) {
            InitTComboBox(o);
        }
    }
}

void TfrmMDIChild::AttachComboAids(QComboBox* combo) {
    if (auto* t = qobject_cast<TComboBox*>(combo); t && !t->OnDropDown) {
        t->OnDropDown = [this](QObject* sender) { OnComboBoxDropDown(sender); };
    }
    comboKeyDown_.insert(combo, &TfrmMDIChild::OnComboBoxKeyDown);
    comboContext_.insert(combo);
    combo->installEventFilter(this);
    combo->setMouseTracking(true);
    Forget(combo);
    if (QLineEdit* editor = combo->lineEdit()) {
        editor->installEventFilter(this);
        editor->setMouseTracking(true);
    }
}

void TfrmMDIChild::CMMouseMove(QObject* control) {
    const QList<QObject*> owned = OwnedComponents(control);
    for (qsizetype i = 0; i < owned.size(); ++i) {
        QObject* o = owned.at(i);
        if (qobject_cast<TFrame*>(o)) {
            BindMouseMove(static_cast<QWidget*>(o));
            CMMouseMove(o);
        } else if (IsMouseMoveContainer(o)) {
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

void TfrmMDIChild::SetNextFocus(QObject* control) {
    auto* form = qobject_cast<QWidget*>(control);
    if (!form || !(qobject_cast<TfrmMDIChild*>(form) || form->isWindow())) {
        return;
    }
    form->setProperty("KeyPreview", true);
    keyDown_.insert(form, &TfrmMDIChild::OnControlKeyUp);
    Forget(form);
    if (!appFilterInstalled_) {
        appFilterInstalled_ = true;
        qApp->installEventFilter(new KeyPreviewFilter(
            [this](QObject* w, QKeyEvent* e) { return PreviewKeyDown(w, e); }, this));
    }
}

// Window ----------------------------------------------------------------------------------

void TfrmMDIChild::CreateParams() {
    if (QMdiArea* area = telmaris::HostMdiArea()) {
        subWindow_ = area->addSubWindow(new FormScroller(this), Qt::SubWindow | kChildFlags);
        subWindow_->setAttribute(Qt::WA_DeleteOnClose);
        subWindow_->setGeometry(kRestoredRect);
        return;
    }
    setGeometry(kRestoredRect);
    setWindowState(windowState() | Qt::WindowMaximized);
}

void TfrmMDIChild::setVisible(bool visible) {
    if (visible && !created_) {
        created_ = true;
        CreateParams();
        if (subWindow_) {
            // The sub-window shows its widget more than once while it maximises; the form is
            // shown once.
            opening_ = true;
            QWidget::setVisible(true);
            subWindow_->showMaximized();
            opening_ = false;
            RunOnShow();
            return;
        }
    }
    QWidget::setVisible(visible);
}

void TfrmMDIChild::closeEvent(QCloseEvent* event) {
    TCloseAction action = caHide;
    if (property("OnClose").toString() == QLatin1String("FormClose")) {
        FormClose(this, action);
    }
    switch (action) {
        case caNone:
            event->ignore();
            return;
        case caMinimize:
            event->ignore();
            (subWindow_ ? static_cast<QWidget*>(subWindow_) : this)->showMinimized();
            return;
        case caFree:
            setAttribute(Qt::WA_DeleteOnClose);
            break;
        case caHide:
            break;
    }
    event->accept();
}

void TfrmMDIChild::FormClose(QObject*, TCloseAction& action) {
    action = caFree;
}

void TfrmMDIChild::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && !opening_) {
        RunOnShow();
    }
}

void TfrmMDIChild::RunOnShow() {
    const QByteArray handler = property("OnShow").toString().toLatin1();
    if (!handler.isEmpty()) {
        Guarded(
            [&] { QMetaObject::invokeMethod(this, handler.constData(), Qt::DirectConnection); });
    }
}

void TfrmMDIChild::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowException(QString::fromUtf8(e.what()));
    }
}

void TfrmMDIChild::actCloseExecute() {
    if (subWindow_) {
        subWindow_->close();
    } else {
        close();
    }
}

void TfrmMDIChild::actExitExecute() {
    actCloseExecute();
}

void TfrmMDIChild::NextControl(bool forward) {
    focusNextPrevChild(forward);
}

// Keys ------------------------------------------------------------------------------------

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

namespace {
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
    for (auto it = keyDown_.cbegin(); it != keyDown_.cend(); ++it) {
        auto* form = static_cast<QWidget*>(it.key());
        if (form == target || form->isAncestorOf(target)) {
            quint16 key = VirtualKey(event->key());
            (this->*it.value())(form, key, event->modifiers());
            break;
        }
    }
    return false;
}

void TfrmMDIChild::OnControlKeyUp(QObject* sender, quint16& key, Qt::KeyboardModifiers) {
    auto* form = qobject_cast<TfrmMDIChild*>(FormOf(sender));
    if (form == nullptr || key != 13) {
        return;
    }
    QWidget* focused = OuterControl(QApplication::focusWidget());
    if (focused && focused->property("Tag").toInt() == kOptOutTag) {
        return;
    }
    QMetaObject::invokeMethod(form, "NextControl", Qt::QueuedConnection, Q_ARG(bool, true));
}

// Events ----------------------------------------------------------------------------------

bool TfrmMDIChild::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (comboKeyDown_.contains(watched) && watched == QApplication::focusWidget()) {
                quint16 code = VirtualKey(key->key());
                (this->*comboKeyDown_.value(watched))(watched, code, key->modifiers());
            }
            return keyPress_.contains(watched) && FilterKeyPress(watched, key);
        }
        case QEvent::InputMethod:
            if (keyPress_.contains(watched)) {
                FilterInputMethod(watched, static_cast<QInputMethodEvent*>(event));
            }
            return false;
        case QEvent::ContextMenu: {
            auto* menu = static_cast<QContextMenuEvent*>(event);
            if (contextPending_ && menu->globalPos() == lastContextPos_) {
                return false;  // the same request passed on from the combo box's editor
            }
            QObject* combo = comboContext_.contains(watched) ? watched : nullptr;
            if (!combo && watched->parent() && comboContext_.contains(watched->parent())) {
                combo = watched->parent();
            }
            if (combo) {
                contextPending_ = true;
                lastContextPos_ = menu->globalPos();
                QTimer::singleShot(0, this, [this] { contextPending_ = false; });
                bool handled = false;
                OnComboBoxContextPopup(combo, menu->pos(), handled);
            }
            return false;
        }
        case QEvent::MouseMove: {
            auto* w = static_cast<QWidget*>(watched);
            if (!w->isEnabled()) {
                return false;  // disabled controls pass their moves to the container beneath
            }
            if (mouseMove_.contains(watched)) {
                const auto* move = static_cast<QMouseEvent*>(event);
                const QPoint p = move->position().toPoint();
                FormMouseMove(watched, move->modifiers(), p.x(), p.y());
                // A move belongs to the control under the cursor alone; containers do not pass
                // it on to theirs, and edit boxes still use it for selecting text.
                return !qobject_cast<QLineEdit*>(w);
            }
            return qobject_cast<QComboBox*>(OuterControl(w)) != nullptr;
        }
        default:
            return false;
    }
}

// Hints and combo boxes -------------------------------------------------------------------

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
    QWidget* child = DirectChildAt(container, QPoint(x, y));
    QString text;
    int width = 0;
    int needed = 0;
    if (auto* edit = qobject_cast<QLineEdit*>(child); edit && IsEditBox(edit)) {
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

void TfrmMDIChild::OnComboBoxDropDown(QObject* sender) {
    auto* combo = qobject_cast<QComboBox*>(sender);
    QWidget* form = combo ? FormOf(combo) : nullptr;
    if (form == nullptr) {
        return;
    }
    const QFontMetrics metrics(form->font());
    int width = combo->width();
    for (int i = combo->count() - 1; i >= 0; --i) {
        width = qMax(width, metrics.horizontalAdvance(combo->itemText(i)));
    }
    width += kDropDownMargin;
    if (combo->count() > combo->maxVisibleItems()) {
        width += kScrollBarMargin;
    }
    combo->view()->setMinimumWidth(width);
}

void TfrmMDIChild::OnComboBoxKeyDown(QObject* sender, quint16& key, Qt::KeyboardModifiers) {
    if (key == kF3) {
        if (auto* combo = qobject_cast<QComboBox*>(sender)) {
            InputKeywordForm(combo);
        }
    }
}

void TfrmMDIChild::OnComboBoxContextPopup(QObject* sender, const QPoint&, bool&) {
    if (auto* combo = qobject_cast<QComboBox*>(sender)) {
        InputKeywordForm(combo);
    }
}
