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

}  // namespace korvane::db
