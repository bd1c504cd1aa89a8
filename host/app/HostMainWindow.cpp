#include "HostMainWindow.h"

#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>

#include "GuiServices.h"
#include "HostWindow.h"

namespace telmaris {

HostMainWindow::HostMainWindow(SessionInfo session)
    : area_(new QMdiArea(this)), session_(std::move(session)) {
    setWindowTitle(QStringLiteral("TELMARIS 号码管理"));
    setCentralWidget(area_);
    area_->setBackground(QColor(120, 130, 160));
    modulesMenu_ = menuBar()->addMenu(QStringLiteral("业务模块(&M)"));
    QMenu* windows = menuBar()->addMenu(QStringLiteral("窗口(&W)"));
    windows->addAction(QStringLiteral("层叠"), area_, &QMdiArea::cascadeSubWindows);
    windows->addAction(QStringLiteral("平铺"), area_, &QMdiArea::tileSubWindows);
    // Child windows have no maximise box; after tiling or cascading this brings one back.
    windows->addAction(QStringLiteral("最大化"), this, [this] {
        if (QMdiSubWindow* sub = area_->activeSubWindow()) {
            sub->showMaximized();
        }
    });
    windows->addAction(QStringLiteral("退出"), this, &QWidget::close);
    SetHostMdiArea(area_);
    resize(1024, 700);
}

HostMainWindow::~HostMainWindow() {
    // The forms belong to the modules' code: close them before the libraries go.
    area_->closeAllSubWindows();
    const auto remaining = area_->subWindowList();
    for (QWidget* w : remaining) {
        delete w;
    }
    SetHostMdiArea(nullptr);
}

bool HostMainWindow::AddModule(const QString& path) {
    QString error;
    auto module = BusinessModule::Load(path, error);
    if (!module) {
        ShowGUIMessage(error, QStringLiteral("异常"), MB_ICONERROR);
        return false;
    }
    const std::size_t index = modules_.size();
    const QString title =
        QStringLiteral("%1 (%2)").arg(QFileInfo(path).completeBaseName()).arg(module->ModuleId());
    modulesMenu_->addAction(title, this, [this, index] { OpenWindow(index); });
    modules_.push_back(std::move(module));
    return true;
}

QWidget* HostMainWindow::OpenWindow(std::size_t index) {
    if (index >= modules_.size()) {
        return nullptr;
    }
    QWidget* form = modules_[index]->CreateForm(session_);
    if (form != nullptr) {
        form->show();
    }
    return form;
}

}  // namespace telmaris
