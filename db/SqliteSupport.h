#pragma once

#include <QSqlDatabase>
#include <QString>

namespace korvane::db {

// Prepares an open SQLite connection for the module's Oracle SQL: attaches the schemas zy and
// xg (files beside the main database: "<file>.zy" and "<file>.xg"; in-memory for ":memory:"),
// gives each file its journal mode (JournalModeFor) so several operators' processes can share
// them, and registers sysdate() and to_date(text, 'YYYYMMDD') on this connection.
// Throws DbError when a step fails.
void PrepareSqliteConnection(QSqlDatabase& db, const QString& databaseFile);

// The journal mode a database file gets, from the one it has ("wal", "delete", ...), whether it
// holds anything yet, and whether it lies on a network filesystem. Write-ahead logging shares its
// index through memory that only one machine's processes see: there a program on another machine
// reads an index that is not the writer's (SQLite's "disk I/O error") and may end the log while
// commits are still in it, so a file on a network filesystem keeps a rollback journal. A file a
// site put in a rollback-journal mode (delete, truncate, persist) stays so; any other file uses
// the log.
QString JournalModeFor(const QString& current, bool empty, bool onNetwork);
// Whether path lies on a network filesystem (NFS, SMB/CIFS, Ceph, AFS, 9P, ...).
bool OnNetworkFileSystem(const QString& path);

// The file that holds a schema of the embedded database.
QString SqliteSchemaFile(const QString& databaseFile, const QString& schema);

// Checks before opening that the database's directory exists and is writable, so the operator
// gets a clear reason instead of SQLite's "unable to open database file". Throws DbError.
void CheckSqliteLocation(const QString& databaseFile, bool createMissing);
// The name to open databaseFile by: a URI that lets SQLite create the file only when asked.
QString SqliteOpenName(const QString& databaseFile, bool createMissing);

}  // namespace korvane::db
