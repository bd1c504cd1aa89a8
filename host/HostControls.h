#pragma once

#include <QAbstractTableModel>
#include <QDateEdit>
#include <QObject>
#include <QStringList>
#include <QTableView>
#include <vector>

#include "HostApi.h"

// Items of a report-style list: one caption and its sub-items per row.
class TELMARIS_HOST_API TListItemsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetCaptions(const QStringList& captions);
    void Clear();
    void BeginUpdate();
    void EndUpdate();
    int AddItem(const QString& caption);
    void AddSubItem(int row, const QString& text);
    // Replaces the text of an existing cell.
    void SetText(int row, int column, const QString& text);
    QString Text(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    QStringList captions_;
    std::vector<QStringList> rows_;
    int updating_ = 0;
    int insertedFrom_ = 0;
};

// A list view in report style: column headers, grid lines, whole-row selection (Ctrl and Shift
// select several), read-only, one tab stop (arrows move in it, Tab leaves it), Ctrl+C copies the
// selected rows as tab-separated text. Its columns come from the dynamic property "Columns" of
// the form description, a list of "caption|width" texts. A form may give it a model of its own;
// Count, ItemText and the selection then read that model.
class TELMARIS_HOST_API TListViewEx : public QTableView {
    Q_OBJECT
public:
    explicit TListViewEx(QWidget* parent = nullptr);

    void SetColumns(const QStringList& captionsAndWidths);
    // The captions that "Columns" gives, in order.
    QStringList ColumnCaptions() const;
    void Clear();
    // Brackets many AddItem calls: the view is refreshed once at EndUpdate.
    void BeginUpdate() { items_->BeginUpdate(); }
    void EndUpdate() { items_->EndUpdate(); }
    int AddItem(const QString& caption);
    void AddSubItem(int row, const QString& text);
    void SetItemText(int row, int column, const QString& text) {
        items_->SetText(row, column, text);
    }
    int Count() const { return model()->rowCount(); }
    int SelectedIndex() const;
    // Every selected row, in list order (Ctrl and Shift select several).
    QList<int> SelectedIndexes() const;
    // Column 0 is the caption, 1 and up the sub-items.
    QString ItemText(int row, int column) const;
    // The selected rows' shown texts: a tab between cells, a line per row.
    QString SelectedText() const;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    TListItemsModel* items_;
};

// A date picker with a drop-down calendar.
class TELMARIS_HOST_API TFlatDateTimePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit TFlatDateTimePicker(QWidget* parent = nullptr);
};

// The file-open dialog component: a filter in "description|pattern|..." form and a file name.
class TELMARIS_HOST_API TOpenDialog : public QObject {
    Q_OBJECT
public:
    explicit TOpenDialog(QObject* owner = nullptr) : QObject(owner) {}
    QString Filter;
    QString FileName;
    // Whether several files may be chosen at once.
    bool MultiSelect = false;
    // The chosen files' full paths; FileName is the first.
    QStringList Files;
    // True when the operator chose a file; FileName then holds its full path.
    bool Execute(QWidget* parent);
};

namespace telmaris {

// The design-time component palette: classes registered on named pages.
TELMARIS_HOST_API void RegisterComponents(const QString& page,
                                          const QList<const QMetaObject*>& classes);
TELMARIS_HOST_API QList<const QMetaObject*> RegisteredComponents(const QString& page);

}  // namespace telmaris
