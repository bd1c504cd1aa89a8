#include "HostControls.h"

#include <QClipboard>
#include <QDynamicPropertyChangeEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMap>
#include <algorithm>

#include "GuiServices.h"

void TListItemsModel::SetCaptions(const QStringList& captions) {
    beginResetModel();
    captions_ = captions;
    endResetModel();
}

void TListItemsModel::Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void TListItemsModel::BeginUpdate() {
    if (updating_++ == 0) {
        insertedFrom_ = static_cast<int>(rows_.size());
    }
}

void TListItemsModel::EndUpdate() {
    if (updating_ > 0 && --updating_ == 0 && static_cast<int>(rows_.size()) > insertedFrom_) {
        beginResetModel();
        endResetModel();
    }
}

int TListItemsModel::AddItem(const QString& caption) {
    const int row = static_cast<int>(rows_.size());
    if (updating_ == 0) {
        beginInsertRows({}, row, row);
    }
    QStringList items;
    items.reserve(captions_.size());
    items.append(caption);
    rows_.push_back(std::move(items));
    if (updating_ == 0) {
        endInsertRows();
    }
    return row;
}

void TListItemsModel::SetText(int row, int column, const QString& text) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        return;
    }
    QStringList& r = rows_[static_cast<std::size_t>(row)];
    if (column < 0 || column >= r.size()) {
        return;
    }
    r[column] = text;
    if (updating_ == 0) {
        emit dataChanged(index(row, column), index(row, column));
    }
}

void TListItemsModel::AddSubItem(int row, const QString& text) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        return;
    }
    QStringList& r = rows_[static_cast<std::size_t>(row)];
    r.append(text);
    if (updating_ == 0) {
        const int column = static_cast<int>(r.size()) - 1;
        emit dataChanged(index(row, column), index(row, column));
    }
}

QString TListItemsModel::Text(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        return QString();
    }
    const QStringList& r = rows_[static_cast<std::size_t>(row)];
    return column >= 0 && column < r.size() ? r.at(column) : QString();
}

int TListItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TListItemsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(captions_.size());
}

QVariant TListItemsModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    return Text(index.row(), index.column());
}

QVariant TListItemsModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section < captions_.size()) {
        return captions_.at(section);
    }
    return {};
}

namespace {
// "caption|width"; a column without a width is 80 wide.
std::pair<QString, int> SplitColumn(const QString& column) {
    const qsizetype bar = column.lastIndexOf(u'|');
    return bar < 0 ? std::pair{column, 80}
                   : std::pair{column.left(bar), column.mid(bar + 1).toInt()};
}
}  // namespace

TListViewEx::TListViewEx(QWidget* parent) : QTableView(parent), items_(new TListItemsModel(this)) {
    setModel(items_);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setFrameShape(QFrame::NoFrame);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    setTabKeyNavigation(false);
}

QStringList TListViewEx::ColumnCaptions() const {
    QStringList captions;
    for (const QString& c : property("Columns").toStringList()) {
        captions << SplitColumn(c).first;
    }
    return captions;
}

QString TListViewEx::ItemText(int row, int column) const {
    return model()->index(row, column).data().toString();
}

QString TListViewEx::SelectedText() const {
    QStringList lines;
    for (const int row : SelectedIndexes()) {
        QStringList cells;
        for (int column = 0; column < model()->columnCount(); ++column) {
            cells << ItemText(row, column);
        }
        lines << cells.join(u'\t');
    }
    return lines.isEmpty() ? QString() : lines.join(u'\n') + u'\n';
}

void TListViewEx::keyPressEvent(QKeyEvent* e) {
    if (e == QKeySequence::Copy) {
        QGuiApplication::clipboard()->setText(SelectedText());
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

void TListViewEx::SetColumns(const QStringList& captionsAndWidths) {
    QStringList captions;
    QList<int> widths;
    for (const QString& c : captionsAndWidths) {
        const auto [caption, width] = SplitColumn(c);
        captions << caption;
        widths << width;
    }
    items_->SetCaptions(captions);
    for (int i = 0; i < widths.size(); ++i) {
        setColumnWidth(i, widths.at(i));
    }
}

bool TListViewEx::event(QEvent* e) {
    if (e->type() == QEvent::DynamicPropertyChange &&
        static_cast<QDynamicPropertyChangeEvent*>(e)->propertyName() == "Columns") {
        SetColumns(property("Columns").toStringList());
    }
    return QTableView::event(e);
}

void TListViewEx::Clear() {
    items_->Clear();
}

int TListViewEx::AddItem(const QString& caption) {
    return items_->AddItem(caption);
}

void TListViewEx::AddSubItem(int row, const QString& text) {
    items_->AddSubItem(row, text);
}

int TListViewEx::SelectedIndex() const {
    const QList<int> rows = SelectedIndexes();
    return rows.isEmpty() ? -1 : rows.constFirst();
}

QList<int> TListViewEx::SelectedIndexes() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

TFlatDateTimePicker::TFlatDateTimePicker(QWidget* parent) : QDateEdit(parent) {
    setCalendarPopup(true);
    setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
}

bool TOpenDialog::Execute(QWidget* parent) {
    const QStringList chosen = MultiSelect ? ChooseOpenFiles(parent, Filter, FileName)
                                           : QStringList{ChooseOpenFile(parent, Filter, FileName)};
    if (chosen.isEmpty() || chosen.first().isEmpty()) {
        return false;
    }
    Files = chosen;
    FileName = chosen.first();
    return true;
}

namespace telmaris {

namespace {
QMap<QString, QList<const QMetaObject*>>& Palette() {
    static QMap<QString, QList<const QMetaObject*>> pages;
    return pages;
}
}  // namespace

void RegisterComponents(const QString& page, const QList<const QMetaObject*>& classes) {
    for (const QMetaObject* m : classes) {
        if (!Palette()[page].contains(m)) {
            Palette()[page].append(m);
        }
    }
}

QList<const QMetaObject*> RegisteredComponents(const QString& page) {
    return Palette().value(page);
}

}  // namespace telmaris
