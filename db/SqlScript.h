#pragma once

#include <QString>
#include <QStringList>

namespace korvane::db {

class TADOQuery;

// Splits a schema script into statements at ';' outside quotes and comments (SqlLexer).
// Comment-only and empty pieces are dropped.
QStringList SplitSqlScript(const QString& script);

// Makes sql the query's one statement and runs it without rows (ExecStatement) or opens its rows
// (OpenStatement). Failures raise DbError; there is no message, unlike the form's SQL runner.
void ExecStatement(TADOQuery& query, const QString& sql);
void OpenStatement(TADOQuery& query, const QString& sql);

// Runs every statement of a schema script, in order; the first failure raises DbError.
void ApplyScript(TADOQuery& query, const QString& script);

}  // namespace korvane::db
