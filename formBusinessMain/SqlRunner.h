#pragma once

#include <QString>

namespace korvane {
namespace db {
class TADOQuery;
}

// True when a trimmed statement is to be opened as a result set: its first six characters,
// upper-cased, are exactly "SELECT".
bool IsSelectStatement(const QString& trimmedStatement);

// Runs one statement on the form's query: trimmed, opened when it is a SELECT, executed
// otherwise. A failure shows "执行SQL出错了呀！" followed by the statement as passed (untrimmed)
// in the plain message dialog and returns false.
bool RunSQL(db::TADOQuery& query, const QString& text);

}  // namespace korvane
