#pragma once

#include <QString>
#include <functional>

#include "HostApi.h"

class QDialog;
class QWidget;

namespace telmaris {

// The business window whose code runs now: while one lives, ShowGUIMessage, ShowMessage and
// AskYesNo show that window's boxes (parented to it, titled with its number). Scopes nest.
class TELMARIS_HOST_API BoxOwner {
public:
    explicit BoxOwner(QWidget* window);
    ~BoxOwner();
    BoxOwner(const BoxOwner&) = delete;
    BoxOwner& operator=(const BoxOwner&) = delete;
    static QWidget* Current();

private:
    QWidget* previous_;
};

// Opens box as one of owner's and returns at once: parented to owner, over the part of it that
// shows, after the boxes owner already has up. Until the last one closes, owner takes no mouse
// or key input (a click on it raises its box), while the rest of the host stays usable. The box
// is deleted once closed.
TELMARIS_HOST_API void OpenWindowBox(QWidget* owner, QDialog* box);
// A yes/no question of owner's as such a box (No is the default); answered gets true for yes,
// at once when the dialog hook answers it. Nothing comes when owner goes first.
TELMARIS_HOST_API void AskInWindow(QWidget* owner, const QString& text, const QString& title,
                                   std::function<void(bool)> answered);

}  // namespace telmaris
