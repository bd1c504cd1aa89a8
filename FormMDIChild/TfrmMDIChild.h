#pragma once

#include <QHash>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <functional>

#include "KorvaneExport.h"

class QActionGroup;
class QComboBox;
class QKeyEvent;
class QInputMethodEvent;

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
    static constexpr quint16 kF3 = 114;
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
    // Runs the handler named by the description's OnShow property.
    void showEvent(QShowEvent* event) override;
    // Runs an event handler; an error that leaves it is shown to the operator as one error
    // message, as the framework's default handler does, and goes no further.
    static void Guarded(const std::function<void()>& handler);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using KeyPressHandler = void (TfrmMDIChild::*)(QObject*, char&);
    using KeyDownHandler = void (TfrmMDIChild::*)(QObject*, quint16&, Qt::KeyboardModifiers);

    void SetupDescription();
    void RunOnShow();
    // Drops o's bindings when it is destroyed.
    void Forget(QObject* o);
    void BindDescribedKeyFilters();
    void BindMouseMove(QWidget* w);
    void AttachComboAids(QComboBox* combo);
    // What of text the filter bound to watched lets through.
    QString FilterText(QObject* watched, const QString& text);
    bool FilterKeyPress(QObject* watched, QKeyEvent* event);
    void FilterInputMethod(QObject* watched, QInputMethodEvent* event);
    bool PreviewKeyDown(QObject* watched, QKeyEvent* event);

    Ui::frmMDIChild* ui_;
    QPointer<QMdiSubWindow> subWindow_;
    bool created_ = false;
    bool opening_ = false;  // the first show inside the host's MDI area is under way
    QHash<QObject*, KeyPressHandler> keyPress_;
    QHash<QObject*, KeyDownHandler> keyDown_;  // forms with key preview
    QHash<QObject*, KeyDownHandler> comboKeyDown_;
    QSet<QObject*> mouseMove_;
    QSet<QObject*> comboContext_;
    bool appFilterInstalled_ = false;
    QList<QMetaObject::Connection> forgetters_;
    bool forwarding_ = false;      // a filtered key is on its way; the form has seen it already
    bool contextPending_ = false;  // a context request is being passed up from an editor
    QPoint lastContextPos_;
};

// The form a control belongs to: the nearest TfrmMDIChild among it and its parents, else its
// window.
QWidget* FormOf(QObject* control);

// The components that owner owns, in creation order: every descendant, but not those inside a
// frame (they belong to the frame).
QList<QObject*> OwnedComponents(QObject* owner);

// Colour from the framework's BGR number.
QColor ColorFromBgr(unsigned bgr);
