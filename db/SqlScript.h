#pragma once

#include <QString>
#include <QStringList>

namespace korvane::db {

// Splits a schema script into statements at ';' outside string literals and comments.
// Comment-only and empty pieces are dropped.
QStringList SplitSqlScript(const QString& script);

}  // namespace korvane::db
