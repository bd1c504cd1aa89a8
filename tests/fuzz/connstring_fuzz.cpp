// libFuzzer target: the connection-string reader must never crash on any text; a string it
// cannot use is refused with a DbError, and a string it reads gives named values only.
#include <cstddef>
#include <cstdint>

#include "ConnectionString.h"
#include "DbError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const QMap<QString, QString> pairs = korvane::db::ParseConnectionPairs(text);
        for (auto it = pairs.cbegin(); it != pairs.cend(); ++it) {
            if (it.key().isEmpty()) {
                __builtin_trap();
            }
        }
        korvane::db::MapConnectionString(text);
    } catch (const korvane::db::DbError&) {
        // a refusal with its reason is the right answer to a malformed string
    }
    return 0;
}
