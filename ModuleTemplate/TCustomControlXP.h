#pragma once

#include <QMenu>
#include <QPointer>
#include <QWidget>

#include "KorvaneExport.h"

// A control of the host's GUI library that publishes its pop-up menu. Nothing in the module
// creates one at run time; it is registered on the component palette page "TELMARIS".
class KORVANE_EXPORT TCustomControlXP : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QMenu* PopupMenu READ PopupMenu WRITE SetPopupMenu)
public:
    explicit TCustomControlXP(QWidget* owner);
    QMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }

private:
    QPointer<QMenu> popupMenu_;
};

namespace TcustomcontrolXP {
KORVANE_EXPORT void Register();
}
