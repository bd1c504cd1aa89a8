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
// otherwise. False on failure, with the database's reason in *reason; shows nothing.
bool TryRunSQL(db::TADOQuery& query, const QString& text, QString* reason);

// TryRunSQL, where a failure shows "执行SQL出错了呀！" followed by the statement as passed
// (untrimmed) and, on a second line, the database's reason, in the plain message dialog.
bool RunSQL(db::TADOQuery& query, const QString& text);

}  // namespace korvane
