#pragma once

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QWidget>
#include <functional>

// Framework control classes that the child forms place on their surfaces.

// A combo box with a drop-down event: OnDropDown runs each time the list is about to open.
class TComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}
    std::function<void(QObject* sender)> OnDropDown;
    void showPopup() override;
};

// A plain container panel.
class TPanel : public QFrame {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr) : QFrame(parent) {}
};

// A reusable composite: the controls placed on a frame belong to the frame, and the form's
// load-time walks descend into frames (frames within frames included).
class TFrame : public QWidget {
    Q_OBJECT
public:
    explicit TFrame(QWidget* parent = nullptr) : QWidget(parent) {}
};

// The small pop-up window that shows an overflow hint.
class THintWindow : public QLabel {
    Q_OBJECT
public:
    explicit THintWindow(QWidget* owner);
    // The rectangle (at 0,0) that text needs with lines at most maxWidth pixels wide.
    QRect CalcHintRect(int maxWidth, const QString& text) const;
    // Shows the window over rect (screen coordinates) with text.
    void ActivateHint(const QRect& rect, const QString& text);
    // Gives up the native window, which hides it.
    void ReleaseHandle();
};
