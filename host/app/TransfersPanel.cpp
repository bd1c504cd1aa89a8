#include "TransfersPanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "GuiServices.h"
#include "RunningJobs.h"
#include "Translate.h"

using korvane::Tr;

namespace telmaris {

namespace {
constexpr int kIdRole = Qt::UserRole + 1;

QString StateText(RunningJobs::State state) {
    switch (state) {
        case RunningJobs::State::Running:
            return Tr("telmaris", "进行中");
        case RunningJobs::State::Succeeded:
            return Tr("telmaris", "完成");
        case RunningJobs::State::Cancelled:
            return Tr("telmaris", "已取消");
        case RunningJobs::State::Failed:
            break;
    }
    return Tr("telmaris", "失败");
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
}  // namespace

TransfersPanel::TransfersPanel(QWidget* parent)
    : QDockWidget(Tr("telmaris", "传输列表"), parent),
      table_(new QTableWidget(0, Columns)),
      cancel_(new QPushButton(Tr("telmaris", "取消"))),
      retry_(new QPushButton(Tr("telmaris", "重试"))),
      openFolder_(new QPushButton(Tr("telmaris", "打开所在文件夹"))) {
    setObjectName(QStringLiteral("TransfersPanel"));
    table_->setObjectName(QStringLiteral("transfersTable"));
    table_->setHorizontalHeaderLabels(
        {Tr("telmaris", "窗口"), Tr("telmaris", "申请单号"), Tr("telmaris", "文件"),
         Tr("telmaris", "方向"), Tr("telmaris", "进度"), Tr("telmaris", "速度"),
         Tr("telmaris", "剩余时间"), Tr("telmaris", "状态"), Tr("telmaris", "结果")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    cancel_->setObjectName(QStringLiteral("cancelTransfer"));
    retry_->setObjectName(QStringLiteral("retryTransfer"));
    openFolder_->setObjectName(QStringLiteral("openTransferFolder"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cancel_);
    buttons->addWidget(retry_);
    buttons->addWidget(openFolder_);
    buttons->addStretch();
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    setWidget(body);

    connect(cancel_, &QPushButton::clicked, this, &TransfersPanel::CancelSelected);
    connect(retry_, &QPushButton::clicked, this, &TransfersPanel::RetrySelected);
    connect(openFolder_, &QPushButton::clicked, this, &TransfersPanel::OpenFolderOfSelected);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &TransfersPanel::UpdateButtons);
    connect(&RunningJobs::Instance(), &RunningJobs::changed, this, &TransfersPanel::Rebuild);
    connect(&refresh_, &QTimer::timeout, this, &TransfersPanel::RefreshProgress);
    refresh_.start(kRefreshMs);
    Rebuild();
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
    table_->setRowCount(static_cast<int>(entries.size()));
    int row = 0;
    for (const RunningJobs::Entry& e : entries) {
        SetText(table_, row, Window, e.info.window);
        table_->item(row, Window)->setData(kIdRole, e.id);
        SetText(table_, row, Order, e.info.order);
        SetText(table_, row, File, e.info.file);
        SetText(table_, row, Direction,
                e.info.upload ? Tr("telmaris", "上传") : Tr("telmaris", "下载"));
        SetText(table_, row, State, StateText(e.state));
        SetText(table_, row, Result, e.result);
        if (e.id == selected) {
            table_->selectRow(row);
        }
        ++row;
    }
    RefreshProgress();
    UpdateButtons();
}

void TransfersPanel::RefreshProgress() {
    const auto& entries = RunningJobs::Instance().Entries();
    for (int row = 0; row < table_->rowCount() && row < entries.size(); ++row) {
        const RunningJobs::Entry& e = entries[row];
        const JobProgress p = e.state == RunningJobs::State::Running && e.hooks.progress
                                  ? e.hooks.progress()
                                  : JobProgress{e.progress, QString(), QString()};
        SetText(table_, row, Progress, p.done);
        SetText(table_, row, Speed, p.speed);
        SetText(table_, row, Left, p.left);
    }
}

void TransfersPanel::UpdateButtons() {
    const RunningJobs::Entry* e = RunningJobs::Instance().Find(SelectedJob());
    cancel_->setEnabled(e != nullptr && e->state == RunningJobs::State::Running);
    retry_->setEnabled(e != nullptr && e->state != RunningJobs::State::Running &&
                       e->state != RunningJobs::State::Succeeded && bool(e->hooks.retry));
    openFolder_->setEnabled(e != nullptr && RunningJobs::Instance().CanOpen(e->id));
}

void TransfersPanel::CancelSelected() {
    const RunningJobs::Entry* e = RunningJobs::Instance().Find(SelectedJob());
    if (e != nullptr && e->hooks.cancel) {
        e->hooks.cancel();
    }
}

void TransfersPanel::RetrySelected() {
    const QString refused = RunningJobs::Instance().Retry(SelectedJob());
    if (!refused.isEmpty()) {
        ShowGUIMessage(refused, Tr("telmaris", "提示"), MB_ICONINFORMATION);
    }
}

void TransfersPanel::OpenFolderOfSelected() {
    const QString why = RunningJobs::Instance().Open(SelectedJob(), true);
    if (!why.isEmpty()) {  // never silently: the operator learns where the file is
        auto* box =
            new QMessageBox(QMessageBox::Information, windowTitle(), why, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

}  // namespace telmaris
