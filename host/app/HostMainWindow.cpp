#include "HostMainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QStyle>
#include <QSvgRenderer>
#include <algorithm>

#include "GuiServices.h"
#include "HostWindow.h"
#include "RunningJobs.h"
#include "TransfersPanel.h"
#include "Translate.h"

using korvane::Tr;

namespace telmaris {

QIcon HostIcon() {
    QSvgRenderer svg(QStringLiteral(":/telmaris/telmaris-host.svg"));
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        svg.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

HostMainWindow::HostMainWindow(SessionInfo session)
    : area_(new QMdiArea(this)), session_(std::move(session)) {
    // The application's display name (TELMARIS) follows the title: the product is named once.
    setWindowTitle(Tr("telmaris", "号码管理"));
    // The child windows' frames and the menu bar of a maximised one take the window's icon.
    setWindowIcon(HostIcon());
    setCentralWidget(area_);
    area_->setBackground(QColor(120, 130, 160));
    modulesMenu_ = menuBar()->addMenu(Tr("telmaris", "业务模块(&M)"));
    QMenu* windows = menuBar()->addMenu(Tr("telmaris", "窗口(&W)"));
    windows->addAction(Tr("telmaris", "层叠"), area_, &QMdiArea::cascadeSubWindows);
    windows->addAction(Tr("telmaris", "平铺"), area_, &QMdiArea::tileSubWindows);
    // Child windows have no maximise box; after tiling or cascading this brings one back.
    windows->addAction(Tr("telmaris", "最大化"), this, [this] {
        if (QMdiSubWindow* sub = area_->activeSubWindow()) {
            sub->showMaximized();
        }
    });
    transfers_ = new TransfersPanel(this);
    addDockWidget(Qt::BottomDockWidgetArea, transfers_);
    transfers_->hide();
    QAction* showTransfers = transfers_->toggleViewAction();
    showTransfers->setText(Tr("telmaris", "传输列表"));
    windows->addAction(showTransfers);
    // A second transfer at once opens the list by itself: one dialog no longer tells it all.
    connect(&RunningJobs::Instance(), &RunningJobs::changed, this, [this] {
        if (RunningJobs::Instance().Count() >= 2) {
            transfers_->show();
        }
    });
    connect(transfers_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible) {
            FitTransfers();
        }
    });
    windows->addAction(Tr("telmaris", "退出"), this, &QWidget::close);
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

void HostMainWindow::RequestQuit() {
    close();
}

void HostMainWindow::closeEvent(QCloseEvent* event) {
    RunningJobs& jobs = RunningJobs::Instance();
    if (jobs.Count() == 0) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    if (quitWhenIdle_) {
        return;  // already asked: the transfers are ending
    }
    const QString question = Tr("telmaris", "以下文件正在传输：\n%1\n要取消这些传输并退出吗？")
                                 .arg(jobs.Descriptions().join(u'\n'));
    if (!AskYesNo(question, Tr("telmaris", "退出"))) {
        return;
    }
    quitWhenIdle_ = true;
    connect(&jobs, &RunningJobs::changed, this, [this] {
        if (RunningJobs::Instance().Count() == 0) {
            close();
        }
    });
    jobs.CancelAll();
}

bool HostMainWindow::AddModule(const QString& path) {
    QString error;
    auto module = BusinessModule::Load(path, error);
    if (!module) {
        ShowGUIMessage(error, Tr("telmaris", "异常"), MB_ICONERROR);
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
        windows_.removeAll(nullptr);
        NumberWindow(form, windows_);
        windows_ << form;
        form->show();
    }
    return form;
}

void HostMainWindow::FitTransfers() {
    // A form scrolls inside its sub-window: what it needs is its own minimum height.
    int needed = 0;
    for (const QMdiSubWindow* sub : area_->subWindowList()) {
        const auto* scroller = qobject_cast<const QScrollArea*>(sub->widget());
        const QWidget* form = scroller != nullptr ? scroller->widget() : sub->widget();
        if (form != nullptr && sub->widget() != nullptr) {
            needed = std::max(needed,
                              sub->height() - sub->widget()->height() +
                                  form->minimumSizeHint().expandedTo(form->minimumSize()).height());
        }
    }
    const int room =
        height() - area_->y() - style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent) - needed;
    resizeDocks({transfers_},
                {std::max(std::min(room, kPanelHeight), transfers_->minimumSizeHint().height())},
                Qt::Vertical);
}

}  // namespace telmaris
