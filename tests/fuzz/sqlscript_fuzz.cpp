// libFuzzer target: the SQL script splitter must never crash on any text, and never hand out an
// empty statement or more text than it was given.
#include <cstddef>
#include <cstdint>

#include "SqlScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString script =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    qsizetype total = 0;
    for (const QString& statement : korvane::db::SplitSqlScript(script)) {
        if (statement.trimmed().isEmpty()) {
            __builtin_trap();
        }
        total += statement.size();
    }
    if (total > script.size()) {
        __builtin_trap();
    }
    return 0;
}
