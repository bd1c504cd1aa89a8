#pragma once

#include <QString>
#include <optional>

#include "TransferJob.h"

namespace korvane {

namespace db {
class TADOQuery;
}

// What downloading one registration row fetches: the content that was current when the row was
// inserted, from where the store keeps it, and what it must turn out to be.
struct RowDownload {
    QString remote;     // the store's name of that content
    QString localName;  // the file name it is saved under
    std::optional<ExpectedFile> expected;
    int version = 0;         // 0: no version known (a row from before versions were kept)
    bool earlier = false;    // an earlier content than the name's current one
    bool replacing = false;  // an upload is putting a new content in place right now
};

RowDownload PlanRowDownload(db::TADOQuery& query, const QString& name, const QString& createDate);

// One row's download as the window settled it: the row, its plan, where it is saved and whether
// the operator said the file there may be replaced.
struct PlannedDownload {
    QString name;        // the registered name
    QString createDate;  // the row's
    bool replacedRow = false;
    RowDownload plan;
    QString local;
    bool replace = false;
};

// "7000_doc.bin" as its version 2 is saved: "7000_doc.v2.bin".
QString EarlierLocalName(const QString& name, int version);

}  // namespace korvane
