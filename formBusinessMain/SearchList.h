#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

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

signals:
    // The listed rows got their marks and sizes.
    void marked();

private:
    void Mark(const SearchConditions& c);
    void ShowRowCount();

    TListViewEx* view_;
    QGroupBox* group_;
    db::TADOQuery& query_;
    RegistrationModel* model_;
    bool sorted_ = false;  // the first fill sorts newest first and fits the columns
    int generation_ = 0;   // a newer search drops the marks of an older one
};

}  // namespace korvane
