#pragma once

#include <QMap>
#include <QString>

namespace korvane::db {

enum class Backend { Oracle, SQLite, PostgreSQL, Odbc };

// What an ADO connection string asks for, in the terms of a Qt SQL driver.
struct ConnectionSpec {
    Backend backend = Backend::Oracle;
    QString driver;        // QOCI, QSQLITE, QPSQL, QODBC
    QString databaseName;  // SQLite: the database file; PostgreSQL: the database
    QString host;          // PostgreSQL only
    int port = -1;         // PostgreSQL only; -1 is the driver's default
    QString user;
    QString password;
};

// Key=Value; pairs, keys case-insensitive, values optionally in single or double quotes.
// Throws DbError naming what is wrong (empty text, a pair without '=', an empty key).
QMap<QString, QString> ParseConnectionPairs(const QString& text);

// Maps a connection string to a driver and its parameters. Provider picks the driver:
// MSDAORA(.1) and OraOLEDB.Oracle(.1) -> QOCI, SQLite -> QSQLITE, PostgreSQL -> QPSQL,
// MSDASQL(.1) -> QODBC. Without a Provider the connection component's own provider,
// MSDAORA.1, applies. Throws DbError for an unknown provider or a wrong value.
ConnectionSpec MapConnectionString(const QString& text);

}  // namespace korvane::db
