#pragma once

#include <QString>

#include "ConnectionString.h"

namespace korvane::db {

// The module writes Oracle SQL. For other backends this bridges exactly what the module uses:
// the word sysdate becomes the backend's "now" (SQLite: sysdate(), a function registered on each
// connection; PostgreSQL: localtimestamp(0)). String literals, quoted identifiers and comments
// are left alone, and so is everything else; to_date(text,'YYYYMMDD') is native on PostgreSQL
// and a registered function on SQLite.
QString BridgeSql(const QString& sql, Backend backend);

// How a date and time reads as text everywhere: in results, on SQLite, in reports.
inline constexpr char kDateTimeFormat[] = "yyyy-MM-dd hh:mm:ss";

// The text with its single quotes doubled: what goes between the quotes of a literal.
QString DoubledQuotes(const QString& text);
// Encloses text in single quotes, doubling the quotes inside. A backslash or NUL is left for the
// query to refuse where the backend would read it otherwise.
QString QuotedSql(const QString& text);

}  // namespace korvane::db
