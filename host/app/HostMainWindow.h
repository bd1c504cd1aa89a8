#pragma once

#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <vector>

#include "ModuleLoader.h"
#include "SessionInfo.h"

class QMdiArea;

namespace telmaris {

// The package's icon (packaging/telmaris-host.svg, built in) at the sizes a desktop asks for:
// the windows' and the MDI menu bar's.
QIcon HostIcon();

// The replacement host: a main window with an MDI area and a menu entry per business module.
class HostMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HostMainWindow(SessionInfo session);
    ~HostMainWindow() override;

    // Loads a module and adds its menu entry; a failure is shown to the operator.
    bool AddModule(const QString& path);
    // Opens a new window of module index, numbered among the open windows of its caption;
    // null when the module gave none.
    QWidget* OpenWindow(std::size_t index);
    QMdiArea* MdiArea() const { return area_; }
    std::size_t ModuleCount() const { return modules_.size(); }
    class TransfersPanel* Transfers() const {
        return transfers_;
    }
    // The transfers panel's height where the windows leave room for it.
    static constexpr int kPanelHeight = 260;
    // Quits as the close box does, asking first while transfers run (SIGTERM, session end).
    void RequestQuit();

protected:
    // While business windows transfer, quitting asks once; yes cancels the transfers and quits
    // once they have cleaned up, no keeps them running.
    void closeEvent(QCloseEvent* event) override;

private:
    // The transfers panel's height when it opens: what the windows leave free, so their whole
    // forms stay in view, yet no less than the panel needs.
    void FitTransfers();

    QMdiArea* area_;
    QList<QPointer<QWidget>> windows_;  // the business windows opened, while they live
    bool quitWhenIdle_ = false;
    class TransfersPanel* transfers_;
    QMenu* modulesMenu_;
    SessionInfo session_;
    std::vector<std::unique_ptr<BusinessModule>> modules_;
};

}  // namespace telmaris
