#pragma once

#include <QHash>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <functional>
#include <memory>

#include "KorvaneExport.h"
#include "VirtualKeys.h"
#include "WidgetTree.h"

class QActionGroup;
class QComboBox;
class QContextMenuEvent;
class QKeyEvent;
class QInputMethodEvent;
class QMouseEvent;

namespace Ui {
class frmMDIChild;
}

// The common base form of the business windows: the family's look (colour, font, border), the
// shared action list, opening maximised inside the host's MDI area, freeing itself when closed,
// five key filters for edit boxes, Enter-key traversal, overflow hints and combo-box aids.
//
// Handlers are bound by name from form descriptions: the dynamic properties OnKeyPress (on edit
// boxes: one of the five filters), OnKeyDown, OnMouseMove and OnClose (on the form), and the
// .ui connections for signals (a button's clicked() to actCloseExecute()).
class KORVANE_EXPORT TfrmMDIChild : public QWidget {
    Q_OBJECT
public:
    enum TCloseAction { caNone = 0, caHide = 1, caFree = 2, caMinimize = 3 };

    // A plain base form: reads its description and loads at once.
    explicit TfrmMDIChild(QWidget* owner = nullptr);
    ~TfrmMDIChild() override;

    QActionGroup* ActionListPublic() const;

    // Key filters: each judges one 8-bit character and replaces a refused one by 0.
    void OnEditKeyPress(QObject* sender, char& key);
    void OnEditKeyPressDeciPoint(QObject* sender, char& key);
    void OnEditKeyPressTraverse(QObject* sender, char& key);
    void OnEditKeyPressTraverseChar(QObject* sender, char& key);
    void OnEditKeyPressEmail(QObject* sender, char& key);

    // Enter anywhere in the form posts a request to move the focus to the next tab stop, unless
    // the focused control's Tag is -666. The key itself still reaches the control.
    void OnControlKeyUp(QObject* sender, quint16& key, Qt::KeyboardModifiers shift);
    void SetNextFocus(QObject* control);
    void FormClose(QObject* sender, TCloseAction& action);

    void InitForm(QWidget* form);
    // The family colour of form and of its hint window, readable under the theme's text colour.
    static void ApplyFamilyColors(QWidget* form);
    void InitTComboBox(QObject* component);
    void CMMouseMove(QObject* control);
    void FormMouseMove(QObject* sender, Qt::KeyboardModifiers shift, int x, int y);
    void OnComboBoxDropDown(QObject* sender);
    void OnComboBoxContextPopup(QObject* sender, const QPoint& mousePos, bool& handled);
    void OnComboBoxKeyDown(QObject* sender, quint16& key, Qt::KeyboardModifiers shift);

    // The MDI sub-window that holds the form, or null when it is a top-level window.
    QMdiSubWindow* SubWindow() const { return subWindow_; }
    void setVisible(bool visible) override;

    static constexpr int kOptOutTag = -666;
    static constexpr int kHintMargin = 32;
    static constexpr int kDropDownMargin = 16;
    static constexpr int kScrollBarMargin = 22;
    static constexpr quint16 kF3 = korvane::vk::kF3;
    static constexpr unsigned kFormColor = 16766925;  // BGR
    static constexpr unsigned kHintColor = 16775921;  // BGR
    static const char* const kHintWindowName;

public slots:
    void actCloseExecute();
    void actExitExecute();
    // The deferred next-control request: forward to the next tab stop, else the previous one.
    void NextControl(bool forward);

protected:
    struct DeferLoad {};
    // For derived forms: they read their own description, then call Loaded().
    TfrmMDIChild(QWidget* owner, DeferLoad);

    // Runs once the descriptions have been read: initialises the form and posts one focus
    // request forward and one back.
    virtual void Loaded();
    // Window creation: maximised, restored at -6, -6, 640 x 500, inside the host's MDI area
    // when there is one.
    virtual void CreateParams();

    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Runs the handler named by the description's OnShow property.
    void showEvent(QShowEvent* event) override;
    // Runs an event handler; an error that leaves it is shown to the operator as one error
    // message, as the framework's default handler does, and goes no further. The boxes it
    // shows are this window's.
    void Guarded(const std::function<void()>& handler);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using KeyPressHandler = void (TfrmMDIChild::*)(QObject*, char&);

    void SetupDescription();
    void RunOnShow();
    // Drops o's bindings when it is destroyed.
    void Forget(QObject* o);
    // Queues a move of the focus to form's next (or previous) tab stop.
    static void PostNextControl(TfrmMDIChild* form, bool forward);

    // Keys: the edit boxes' filters and the Enter routing of forms with key preview.
    void BindDescribedKeyFilters();
    bool KeyPressed(QObject* watched, QKeyEvent* event);
    // What of text the filter bound to watched lets through.
    QString FilterText(QObject* watched, const QString& text);
    bool FilterKeyPress(QObject* watched, QKeyEvent* event);
    void FilterInputMethod(QObject* watched, QInputMethodEvent* event);
    bool PreviewKeyDown(QObject* watched, QKeyEvent* event);

    // The overflow hint over containers and edit boxes.
    void BindMouseMove(QWidget* w);
    bool MouseMoved(QObject* watched, QMouseEvent* event);

    // Combo-box aids: the drop-down width, F3 and the context menu's keyword search.
    void AttachComboAids(QComboBox* combo);
    void ComboContextMenu(QObject* watched, QContextMenuEvent* menu);

    std::unique_ptr<Ui::frmMDIChild> ui_;
    QPointer<QMdiSubWindow> subWindow_;
    bool created_ = false;
    bool opening_ = false;  // the first show inside the host's MDI area is under way
    QHash<QObject*, KeyPressHandler> keyPress_;
    QSet<QObject*> keyPreviewForms_;  // their Enter moves the focus on
    QSet<QObject*> combos_;           // with the combo-box aids attached
    QSet<QObject*> mouseMove_;
    bool appFilterInstalled_ = false;
    QList<QMetaObject::Connection> forgetters_;
    bool applyingColors_ = false;
    bool forwarding_ = false;      // a filtered key is on its way; the form has seen it already
    bool contextPending_ = false;  // a context request is being passed up from an editor
    QPoint lastContextPos_;
};
