#pragma once

#include <QSqlDatabase>
#include <QString>

namespace korvane::db {

// Prepares an open SQLite connection for the module's Oracle SQL: attaches the schemas zy and
// xg (files beside the main database: "<file>.zy" and "<file>.xg"; in-memory for ":memory:"),
// switches every file to write-ahead logging so several operators' processes can share them,
// and registers sysdate() and to_date(text, 'YYYYMMDD') on this connection.
// Throws DbError when a step fails.
void PrepareSqliteConnection(QSqlDatabase& db, const QString& databaseFile);

// The file that holds a schema of the embedded database.
QString SqliteSchemaFile(const QString& databaseFile, const QString& schema);

// Checks before opening that the database's directory exists and is writable, so the operator
// gets a clear reason instead of SQLite's "unable to open database file". Throws DbError.
void CheckSqliteLocation(const QString& databaseFile, bool createMissing);
// The name to open databaseFile by: a URI that lets SQLite create the file only when asked.
QString SqliteOpenName(const QString& databaseFile, bool createMissing);

}  // namespace korvane::db
