// The base form's life: its description, loading, the window it opens in, closing, and the
// dispatch of the events its key, hint and combo-box aids watch.
#include "TfrmMDIChild.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QShowEvent>

#include "Controls.h"
#include "FormScroller.h"
#include "GuiServices.h"
#include "HostWindow.h"
#include "WidgetTree.h"
#include "WindowBoxes.h"
#include "ui_FormMDIChild.h"

const char* const TfrmMDIChild::kHintWindowName = "HCN76F2E4C7A4954525905AE433DE29E7FD";

namespace {

constexpr Qt::WindowFlags kChildFlags = Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
const QRect kRestoredRect(-6, -6, 640, 500);

}  // namespace

TfrmMDIChild::TfrmMDIChild(QWidget* owner) : TfrmMDIChild(owner, DeferLoad{}) {
    Loaded();
}

TfrmMDIChild::TfrmMDIChild(QWidget* owner, DeferLoad)
    : QWidget(owner), ui_(std::make_unique<Ui::frmMDIChild>()) {
    SetupDescription();
}

TfrmMDIChild::~TfrmMDIChild() {
    // Children outlive this part of the object; their destruction must not reach the bindings.
    for (const auto& c : forgetters_) {
        disconnect(c);
    }
}

void TfrmMDIChild::Forget(QObject* o) {
    forgetters_.append(connect(o, &QObject::destroyed, this, [this, o] {
        keyPress_.remove(o);
        keyPreviewForms_.remove(o);
        combos_.remove(o);
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
    PostNextControl(this, true);
    PostNextControl(this, false);
}

void TfrmMDIChild::PostNextControl(TfrmMDIChild* form, bool forward) {
    QMetaObject::invokeMethod(
        form, [form, forward] { form->NextControl(forward); }, Qt::QueuedConnection);
}

void TfrmMDIChild::InitForm(QWidget* form) {
    if (form == nullptr) {
        return;
    }
    ApplyFamilyColors(form);
    MakeInit(form);
    InitTComboBox(form);
    if (!form->findChild<THintWindow*>(QLatin1String(kHintWindowName),
                                       Qt::FindDirectChildrenOnly)) {
        auto* hint = new THintWindow(form);
        hint->setObjectName(QLatin1String(kHintWindowName));
        ApplyFamilyColors(form);
        hint->hide();
    }
    CMMouseMove(form);
    SetNextFocus(form);
    SetGUIStyle(form);
}

// The family's colours on the form and its hint window, as backgrounds that the theme's text
// colour reads on: the colours themselves under a light theme, a dark tint under a dark one.
void TfrmMDIChild::ApplyFamilyColors(QWidget* form) {
    const QPalette theme = QApplication::palette(form);
    QPalette palette = form->palette();
    const QVariant color = form->property("Color");
    palette.setColor(QPalette::WindowText, theme.color(QPalette::WindowText));
    palette.setColor(
        QPalette::Window,
        ReadableBackground(ColorFromBgr(color.isValid() ? color.toUInt() : kFormColor), theme));
    form->setPalette(palette);
    if (auto* hint = form->findChild<THintWindow*>(QLatin1String(kHintWindowName),
                                                   Qt::FindDirectChildrenOnly)) {
        QPalette hp = hint->palette();
        hp.setColor(QPalette::Window, ReadableBackground(ColorFromBgr(kHintColor), theme));
        hint->setPalette(hp);
    }
}

void TfrmMDIChild::changeEvent(QEvent* event) {
    // The desktop's theme changed, light to dark or back; the colours set here change the
    // palette too, and are not applied again from within.
    if ((event->type() == QEvent::PaletteChange ||
         event->type() == QEvent::ApplicationPaletteChange) &&
        !applyingColors_) {
        applyingColors_ = true;
        ApplyFamilyColors(this);
        applyingColors_ = false;
    }
    QWidget::changeEvent(event);
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
    // The description names a slot of the derived form; its meta-object finds it.
    const QByteArray handler = property("OnShow").toString().toLatin1();
    if (!handler.isEmpty()) {
        Guarded(
            [&] { QMetaObject::invokeMethod(this, handler.constData(), Qt::DirectConnection); });
    }
}

void TfrmMDIChild::Guarded(const std::function<void()>& handler) {
    const telmaris::BoxOwner owner(this);
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
    QWidget* next = korvane::tree::NextTabStop(this, QApplication::focusWidget(), forward);
    if (next == nullptr) {
        return;
    }
    // Focus moved by a key is drawn as Tab's is.
    next->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

// Events ----------------------------------------------------------------------------------

bool TfrmMDIChild::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            return KeyPressed(watched, static_cast<QKeyEvent*>(event));
        case QEvent::InputMethod:
            if (keyPress_.contains(watched)) {
                FilterInputMethod(watched, static_cast<QInputMethodEvent*>(event));
            }
            return false;
        case QEvent::ContextMenu:
            ComboContextMenu(watched, static_cast<QContextMenuEvent*>(event));
            return false;
        case QEvent::MouseMove:
            return MouseMoved(watched, static_cast<QMouseEvent*>(event));
        default:
            return false;
    }
}
