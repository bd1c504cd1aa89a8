#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <functional>
#include <utility>

#include "RowTexts.h"
#include "Statements.h"

class QGroupBox;
class TListViewEx;

namespace korvane {

namespace db {
class TADOQuery;
}
class RegistrationModel;

// The list of a search's rows in the window: the registrations' model under the list view
// (newest first at the first fill, then in the order the operator chose by the headers), the
// row count in the caption of its group, and the replaced marks and recorded sizes, which
// follow the rows from a second look at the database.
class SearchList : public QObject {
    Q_OBJECT
public:
    SearchList(TListViewEx* view, QGroupBox* group, db::TADOQuery& query);

    RegistrationModel& Model() { return *model_; }
    int Rows() const;
    // Lists at most limit rows of what c finds, the codes shown through texts: false when the
    // statement failed (RunSQL said why and the list is empty). cut: whether there were more.
    bool List(const SearchConditions& c, RowTexts texts, int limit, bool* cut);

    // A listed row's file: its name, when it was registered, and whether a later upload of the
    // name replaced it.
    struct RowFile {
        QString name;
        QString createDate;
        bool replaced = false;
    };
    // The files of the listed rows (view rows), each row of one name and date once, and the
    // first name that could not be written into the download folder (then nothing is
    // downloaded).
    struct Chosen {
        QList<RowFile> rows;
        QString invalid;
    };
    Chosen Files(const QList<int>& rows) const;
    // The remote name and the order number of a listed row (view row).
    std::pair<QString, QString> NameAndOrder(int row) const;
    // Whether the window's transfers leave the menu's 下载 and 另存为… open now.
    void SetIdle(std::function<bool()> idle) { idle_ = std::move(idle); }

signals:
    // The listed rows got their marks and sizes.
    void marked();
    // Chosen in the list's context menu: 历史记录 of a row (view row), 下载 of the selected rows
    // (also a row's double-click), 另存为… of the one selected row.
    void historyAsked(int row);
    void downloadAsked();
    void saveAsAsked();

private:
    void Mark(const SearchConditions& c);
    void ShowRowCount();
    void Menu(const QPoint& at);

    TListViewEx* view_;
    QGroupBox* group_;
    db::TADOQuery& query_;
    RegistrationModel* model_;
    bool sorted_ = false;  // the first fill sorts newest first and fits the columns
    int generation_ = 0;   // a newer search drops the marks of an older one
    std::function<bool()> idle_ = [] { return true; };
};

}  // namespace korvane
