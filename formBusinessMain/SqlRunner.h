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

// TryRunSQL, where a failure shows SqlErrorMessage in the plain message dialog.
bool RunSQL(db::TADOQuery& query, const QString& text);

// "执行SQL出错了呀！", the database's reason below it (at most kSqlReasonLines lines), then
// "语句：" and the statement as passed, cut to kSqlStatementLines lines of kSqlLineWidth
// characters: a long statement never fills the screen.
QString SqlErrorMessage(const QString& statement, const QString& reason);
constexpr int kSqlReasonLines = 4;
constexpr int kSqlStatementLines = 3;
constexpr int kSqlLineWidth = 100;

}  // namespace korvane
