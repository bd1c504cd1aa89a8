#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <vector>

#include "RowTexts.h"

namespace korvane {

namespace db {
class TADOQuery;
}
struct SortEntry;

// The search's rows, kept compactly: the texts of a row live in one shared store and the type
// and operator texts are looked up only when a row is shown, so a million rows fit in little
// memory. The view's order is a permutation over the stored rows; sorting compares numbers,
// dates and texts each in their own order.
class RegistrationModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kId, kType, kName, kOperator, kDate, kRemark, kSize, kColumnCount };
    // What a row is, beside what its cells show: its remote name (down_path), whether a later
    // upload of that name replaced its file (a bool) and its create_date without the replaced
    // mark, in every column.
    enum Role { kRemoteNameRole = Qt::UserRole + 1, kReplacedRole, kCreateDateRole };

    // What one result row holds, as read from the database.
    struct Fields {
        QStringView id;
        QStringView type;  // the order-type code
        QStringView name;
        int32_t operatorId = 0;
        QStringView date;  // yyyy-MM-dd hh:mm:ss, so text order is time order
        QStringView remark;
    };

    // captions: one per column, in Column order.
    RegistrationModel(QStringList captions, RowTexts texts, QObject* parent = nullptr);
    ~RegistrationModel() override;

    // The lookups of the type and operator texts, from now on.
    void SetTexts(RowTexts texts);
    void Clear();
    // Rows are added in bulk between these two calls; the view hears of them once.
    void BeginFill();
    void Append(const Fields& row);
    void EndFill();

    // Rows named name that a later registration replaced, and the recorded size of the file
    // that the newest row of name stands for; EndMarks tells the view once all are set.
    void MarkReplacedBefore(QStringView name, QStringView latestDate);
    void SetRecordedSize(QStringView name, int64_t size);
    void EndMarks();

    // The texts a view shows, by view row.
    QString Text(int row, int column) const;
    bool Replaced(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    struct Row;
    class Store;
    QString DateText(const Row& r) const;
    SortEntry Entry(int column, uint32_t row, const std::vector<uint32_t>& ranks) const;
    const Row& At(int viewRow) const;
    QStringView View(uint32_t at, uint16_t length) const;
    // Calls f with the stored index of every row named name.
    template <typename F>
    void ForEachNamed(QStringView name, F f);
    std::vector<uint32_t> Ranks(int column) const;

    QStringList captions_;
    mutable RowTexts texts_;
    std::unique_ptr<Store> store_;
    std::vector<Row> rows_;
    std::vector<uint32_t> order_;   // view row -> stored row
    std::vector<uint32_t> byName_;  // stored rows in name order, built when first needed
    QStringList typeCodes_;         // distinct type codes; rows keep an index
    int fillFrom_ = -1;
};

// Appends the rows of an open search result (its columns by name) to model, at most limit of
// them; true when the result held more.
bool AppendRows(db::TADOQuery& query, RegistrationModel& model, int limit);

}  // namespace korvane
