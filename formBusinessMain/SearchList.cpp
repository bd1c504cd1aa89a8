#include "SearchList.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "HostControls.h"
#include "RegistrationModel.h"
#include "RegistrationReads.h"
#include "SqlRunner.h"
#include "TADOQuery.h"
#include "Translate.h"

namespace korvane {

SearchList::SearchList(TListViewEx* view, QGroupBox* group, db::TADOQuery& query)
    : QObject(view), view_(view), group_(group), query_(query) {
    model_ =
        new RegistrationModel(view->ColumnCaptions() << Tr("korvane", "大小"),
                              RowTexts({}, [](int32_t op) { return QString::number(op); }), this);
    view->setModel(model_);
    view->setSortingEnabled(true);
    view->horizontalHeader()->setSortIndicator(RegistrationModel::kDate, Qt::DescendingOrder);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, &SearchList::Menu);
    connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& at) {
        if (idle_()) {  // a double-click is 下载, and only while 下载 is
            view_->selectRow(at.row());
            emit downloadAsked();
        }
    });
}

void SearchList::Menu(const QPoint& at) {
    const QModelIndex index = view_->indexAt(at);
    if (!index.isValid()) {
        return;
    }
    auto* menu = new QMenu(view_);
    menu->setObjectName(QStringLiteral("mnuList"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(Tr("korvane", "历史记录"), this,
                    [this, row = index.row()] { emit historyAsked(row); });
    const bool idle = idle_();
    menu->addAction(Tr("korvane", "下载"), this, &SearchList::downloadAsked)->setEnabled(idle);
    QAction* saveAs = menu->addAction(Tr("korvane", "另存为…"), this, &SearchList::saveAsAsked);
    saveAs->setEnabled(idle && view_->SelectedIndexes().size() == 1);
    menu->popup(view_->viewport()->mapToGlobal(at));  // no nested loop: the menu answers later
}

bool SearchList::List(const SearchConditions& c, RowTexts texts, int limit, bool* cut) {
    model_->SetTexts(std::move(texts));
    model_->Clear();
    ShowRowCount();
    query_.SetForwardOnly(true);  // a large result is read once, not held twice
    RunSQL(query_, BuildSearchStatement(c));
    if (!query_.Active()) {
        return false;  // the runner has said why; there is nothing to list
    }
    *cut = AppendRows(query_, *model_, limit);
    query_.Close();
    // The rows show first; the marks take another look at the database and follow at once.
    QTimer::singleShot(0, this, [this, c, generation = ++generation_] {
        if (generation == generation_) {
            Mark(c);
        }
    });
    if (!std::exchange(sorted_, true)) {
        view_->sortByColumn(RegistrationModel::kDate, Qt::DescendingOrder);
        view_->resizeColumnsToContents();
    } else {
        model_->sort(view_->horizontalHeader()->sortIndicatorSection(),
                     view_->horizontalHeader()->sortIndicatorOrder());
    }
    ShowRowCount();
    return true;
}

int SearchList::Rows() const {
    return model_->rowCount();
}

SearchList::Chosen SearchList::Files(const QList<int>& rows) const {
    Chosen chosen;
    for (const int row : rows) {
        const QModelIndex at = model_->index(row, RegistrationModel::kName);
        RowFile file{at.data(RegistrationModel::kRemoteNameRole).toString(),
                     at.data(RegistrationModel::kCreateDateRole).toString(),
                     at.data(RegistrationModel::kReplacedRole).toBool()};
        if (!IsPlainFileName(file.name)) {
            chosen.invalid = file.name;
            return chosen;
        }
        const bool listed =
            std::any_of(chosen.rows.begin(), chosen.rows.end(), [&](const RowFile& r) {
                return r.name == file.name && r.createDate == file.createDate;
            });
        if (!listed) {
            chosen.rows << file;  // two rows of one name and time are one file
        }
    }
    return chosen;
}

std::pair<QString, QString> SearchList::NameAndOrder(int row) const {
    return {model_->index(row, RegistrationModel::kName)
                .data(RegistrationModel::kRemoteNameRole)
                .toString(),
            model_->Text(row, RegistrationModel::kId)};
}

void SearchList::ShowRowCount() {
    const int rows = model_->rowCount();
    group_->setTitle(
        rows == 0
            ? Tr("korvane", "列表")
            : Tr("korvane", "列表（共 %1 条）").arg(QLocale(QLocale::English).toString(rows)));
}

void SearchList::Mark(const SearchConditions& c) {
    RegistrationReads(query_).Mark(c, *model_);
    QHeaderView* header = view_->horizontalHeader();
    // Marks and sizes arrive after the columns were fitted: widen their columns, never narrow
    // what was set.
    for (const int column : {RegistrationModel::kDate, RegistrationModel::kSize}) {
        header->resizeSection(
            column, std::max(header->sectionSize(column),
                             static_cast<QAbstractItemView*>(view_)->sizeHintForColumn(column)));
    }
    if (header->sortIndicatorSection() == RegistrationModel::kSize) {
        model_->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
    }
    emit marked();
}

}  // namespace korvane
