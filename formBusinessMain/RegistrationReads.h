#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "FileRecord.h"
#include "History.h"
#include "Statements.h"

namespace korvane {

namespace db {
class TADOQuery;
}
class RegistrationModel;

// What the registration window reads of its database besides the search itself, on the
// window's query object (which each read leaves closed): the order types, which names are
// registered already, what the record says of a file, and the marks of a listed search.
class RegistrationReads {
public:
    explicit RegistrationReads(db::TADOQuery& query) : query_(query) {}

    // "[0] 所有类型", then "[code_value] cname" of each order type in the database's order. A
    // failed statement is reported as RunSQL reports it and leaves the first item alone.
    QStringList OrderTypeItems();

    // The registered names among names. unreadable says why they could not be read; then every
    // name counts as registered, so that nothing is replaced without a question.
    struct Registered {
        QStringList names;
        QString unreadable;
    };
    Registered RegisteredAmong(const QStringList& names);

    // What the record says the file under remote is, when it knows its digest.
    std::optional<db::StoredFile> Recorded(const QString& remote);

    // Marks the rows of c's search in model that a later upload of their name replaced, and gives
    // the others their recorded size; without either the list still holds what the search found.
    void Mark(const SearchConditions& c, RegistrationModel& model);

    // The history of a file and of its order, newest first; nullopt when the database keeps none
    // (not yet upgraded).
    struct Histories {
        QList<db::HistoryEvent> ofName;
        QList<db::HistoryEvent> ofOrder;
    };
    std::optional<Histories> HistoryOf(const QString& name, const QString& orderId);

private:
    void MarkRows(const SearchConditions& c, RegistrationModel& model);

    db::TADOQuery& query_;
};

// The first item of both type lists: all types.
QString AllTypesItem();

}  // namespace korvane
