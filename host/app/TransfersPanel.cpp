#include "TransfersPanel.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "GuiServices.h"
#include "RunningJobs.h"
#include "Translate.h"
#include "WindowBoxes.h"

using korvane::Tr;

namespace telmaris {

namespace {
constexpr int kIdRole = Qt::UserRole + 1;

QString StateText(const RunningJobs::Entry& e) {
    switch (e.state) {
        case RunningJobs::State::Running:
            return e.paused ? Tr("telmaris", "已暂停") : Tr("telmaris", "进行中");
        case RunningJobs::State::Succeeded:
            return Tr("telmaris", "完成");
        case RunningJobs::State::Cancelled:
            return Tr("telmaris", "已取消");
        case RunningJobs::State::Failed:
            break;
    }
    return Tr("telmaris", "失败");
}

// "0:07", "1:02:03", as the progress texts write times.
QString Duration(qint64 seconds) {
    const qint64 h = seconds / 3600;
    const QString ms =
        QStringLiteral("%1:%2").arg(seconds / 60 % 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return h > 0 ? QStringLiteral("%1:%2").arg(h).arg(ms.rightJustified(5, u'0')) : ms;
}

// The time of day; with the date when it was not today.
QString StartText(const QDateTime& started, const QDateTime& now) {
    return started.toString(started.date() == now.date() ? QStringLiteral("HH:mm:ss")
                                                         : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void SetText(QTableWidget* table, int row, int column, const QString& text) {
    QTableWidgetItem* item = table->item(row, column);
    if (item == nullptr) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        table->setItem(row, column, item);
    }
    if (item->text() != text) {
        item->setText(text);
        item->setToolTip(text);
    }
}

QString DirectionText(const RunningJobs::Entry& e) {
    if (!e.info.upload) {
        return Tr("telmaris", "下载");
    }
    return e.replaced ? Tr("telmaris", "替换") : Tr("telmaris", "上传");
}

// Earlier sessions' rows are greyed, so that this session's stand out above them.
void ShowAsEarlier(QTableWidget* table, int row, bool earlier) {
    const QBrush brush =
        earlier ? table->palette().brush(QPalette::Disabled, QPalette::Text) : QBrush();
    for (int column = 0; column < table->columnCount(); ++column) {
        if (QTableWidgetItem* item = table->item(row, column);
            item != nullptr && item->foreground() != brush) {
            item->setForeground(brush);
        }
    }
}
}  // namespace

TransfersPanel::TransfersPanel(QWidget* parent)
    : QDockWidget(Tr("telmaris", "传输列表"), parent),
      table_(new QTableWidget(0, Columns)),
      menu_(new QMenu(this)) {
    setObjectName(QStringLiteral("TransfersPanel"));
    table_->setObjectName(QStringLiteral("transfersTable"));
    table_->setHorizontalHeaderLabels(
        {Tr("telmaris", "窗口"), Tr("telmaris", "申请单号"), Tr("telmaris", "文件"),
         Tr("telmaris", "方向"), Tr("telmaris", "状态"), Tr("telmaris", "进度"),
         Tr("telmaris", "开始时间"), Tr("telmaris", "用时"), Tr("telmaris", "当前速度"),
         Tr("telmaris", "平均速度"), Tr("telmaris", "剩余时间"), Tr("telmaris", "次数"),
         Tr("telmaris", "结果")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);  // one line a row: more rows in view
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->resizeSection(
        Progress,
        table_->fontMetrics().horizontalAdvance(QStringLiteral("100%  999.9 MiB / 999.9 MiB")) +
            16);
    cancel_ =
        AddAction(Tr("telmaris", "取消"), QKeySequence::Delete, &TransfersPanel::CancelSelected);
    pause_ = AddAction(Tr("telmaris", "暂停"), {}, &TransfersPanel::PauseSelected);
    resume_ = AddAction(Tr("telmaris", "继续"), {}, &TransfersPanel::ResumeSelected);
    retry_ = AddAction(Tr("telmaris", "重试"), {}, &TransfersPanel::RetrySelected);
    open_ = AddAction(Tr("telmaris", "打开"), Qt::Key_Return, &TransfersPanel::OpenSelected);
    open_->setShortcuts({Qt::Key_Return, Qt::Key_Enter});
    openFolder_ =
        AddAction(Tr("telmaris", "打开所在文件夹"), {}, &TransfersPanel::OpenFolderOfSelected);
    menu_->addSeparator();
    forget_ = AddAction(Tr("telmaris", "从列表中清除"), {}, &TransfersPanel::ForgetSelected);

    auto* buttons = new QHBoxLayout;
    const std::pair<QAction*, const char*> shown[] = {{cancel_, "cancelTransfer"},
                                                      {pause_, "pauseTransfer"},
                                                      {resume_, "resumeTransfer"},
                                                      {retry_, "retryTransfer"},
                                                      {openFolder_, "openTransferFolder"}};
    for (const auto& [action, name] : shown) {
        auto* button = new QPushButton(action->text());
        button->setObjectName(QLatin1String(name));
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, button,
                [button, action = action] { button->setEnabled(action->isEnabled()); });
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    setWidget(body);

    connect(table_, &QTableWidget::itemSelectionChanged, this, &TransfersPanel::UpdateActions);
    connect(table_, &QWidget::customContextMenuRequested, this, &TransfersPanel::PopUpMenu);
    connect(&RunningJobs::Instance(), &RunningJobs::changed, this, &TransfersPanel::Rebuild);
    connect(&refresh_, &QTimer::timeout, this, &TransfersPanel::RefreshProgress);
    refresh_.start(kRefreshMs);
    Rebuild();
}

QAction* TransfersPanel::AddAction(const QString& text, const QKeySequence& key,
                                   void (TransfersPanel::*run)()) {
    auto* action = new QAction(text, this);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this, run);
    table_->addAction(action);  // its key works where the list has the focus
    menu_->addAction(action);
    return action;
}

int TransfersPanel::JobAt(int row) const {
    const QTableWidgetItem* item = table_->item(row, Window);
    return item != nullptr ? item->data(kIdRole).toInt() : 0;
}

int TransfersPanel::SelectedJob() const {
    const auto rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : JobAt(rows.first().row());
}

void TransfersPanel::Rebuild() {
    const int selected = SelectedJob();
    const auto& entries = RunningJobs::Instance().Entries();
    const int before = table_->rowCount();
    table_->setRowCount(static_cast<int>(entries.size()));
    int row = 0;
    int lastOfSession = -1;
    for (const RunningJobs::Entry& e : entries) {
        SetText(table_, row, Window, e.earlier ? Tr("telmaris", "之前的会话") : e.info.window);
        table_->item(row, Window)->setData(kIdRole, e.id);
        SetText(table_, row, Order, e.info.order);
        SetText(table_, row, File, e.info.file);
        SetText(table_, row, Direction, DirectionText(e));
        SetText(table_, row, Attempts, e.earlier ? QString() : QString::number(e.attempts));
        SetText(table_, row, State, StateText(e));
        SetText(table_, row, Result, e.result);
        if (e.id == selected) {
            table_->selectRow(row);
        }
        lastOfSession = e.earlier ? lastOfSession : row;
        ++row;
    }
    // The window's name with its number and the file's name are what tell the rows apart.
    table_->resizeColumnToContents(Window);
    table_->resizeColumnToContents(File);
    if (row > before && lastOfSession >= 0) {
        // A new job shows where the operator looks: the end of this session's rows.
        table_->scrollToItem(table_->item(lastOfSession, Window));
    }
    RefreshProgress();
    for (int r = 0; r < row; ++r) {
        ShowAsEarlier(table_, r, entries[r].earlier);
    }
    UpdateActions();
}

void TransfersPanel::RefreshProgress() {
    const auto& entries = RunningJobs::Instance().Entries();
    const QDateTime now = RunningJobs::Instance().Now();
    for (int row = 0; row < table_->rowCount() && row < entries.size(); ++row) {
        const RunningJobs::Entry& e = entries[row];
        const bool running = e.state == RunningJobs::State::Running;
        const JobProgress p = running && e.hooks.progress
                                  ? e.hooks.progress()
                                  : JobProgress{e.progress, e.speed, {}, {}};
        SetText(table_, row, Progress, p.done);
        SetText(table_, row, Started, StartText(e.started, now));
        // The history keeps when a job ended, not how long it took.
        SetText(table_, row, Elapsed,
                e.earlier
                    ? QString()
                    : Duration(std::max<qint64>(0, e.started.secsTo(running ? now : e.ended))));
        SetText(table_, row, Current, p.current);
        SetText(table_, row, Speed, p.speed);
        SetText(table_, row, Left, p.left);
    }
}

void TransfersPanel::UpdateActions() {
    const RunningJobs::Entry* e = RunningJobs::Instance().Find(SelectedJob());
    const bool running = e != nullptr && e->state == RunningJobs::State::Running;
    cancel_->setEnabled(running && bool(e->hooks.cancel));
    pause_->setEnabled(running && !e->paused && bool(e->hooks.pause));
    resume_->setEnabled(running && e->paused && bool(e->hooks.resume));
    retry_->setEnabled(e != nullptr && !running && e->state != RunningJobs::State::Succeeded &&
                       bool(e->hooks.retry));
    const bool openable = e != nullptr && RunningJobs::Instance().CanOpen(e->id);
    open_->setEnabled(openable);
    openFolder_->setEnabled(openable);
    forget_->setEnabled(e != nullptr && !running);
}

void TransfersPanel::PopUpMenu(const QPoint& at) {
    const int row = table_->rowAt(at.y());
    if (row < 0) {
        return;
    }
    table_->selectRow(row);
    menu_->popup(table_->viewport()->mapToGlobal(at));
}

void TransfersPanel::CancelSelected() {
    const RunningJobs::Entry* e = RunningJobs::Instance().Find(SelectedJob());
    if (e != nullptr && e->hooks.cancel) {
        e->hooks.cancel();
    }
}

void TransfersPanel::PauseSelected() {
    RunningJobs::Instance().Pause(SelectedJob());
}

void TransfersPanel::ResumeSelected() {
    RunningJobs::Instance().Resume(SelectedJob());
}

void TransfersPanel::RetrySelected() {
    const QString refused = RunningJobs::Instance().Retry(SelectedJob());
    if (!refused.isEmpty()) {
        ShowGUIMessage(refused, Tr("telmaris", "提示"), MB_ICONINFORMATION);
    }
}

void TransfersPanel::OpenSelected() {
    Tell(RunningJobs::Instance().Open(SelectedJob(), false));
}

void TransfersPanel::OpenFolderOfSelected() {
    Tell(RunningJobs::Instance().Open(SelectedJob(), true));
}

void TransfersPanel::Tell(const QString& why) {
    if (!why.isEmpty()) {
        // Never silently: the operator learns where the file is. A box of the panel's own, so
        // the windows and their transfers go on while it is read.
        const BoxOwner scope(this);
        ShowGUIMessage(why, Tr("telmaris", "提示"), MB_ICONINFORMATION);
    }
}

void TransfersPanel::ForgetSelected() {
    RunningJobs::Instance().Forget(SelectedJob());
}

}  // namespace telmaris
