#include "KeyFilters.h"

namespace korvane::keys {

bool PassDigits(signed char c) {
    return (c >= '0' && c <= '9') || c == 8 || c == 1 || c == 3 || c == 22 || c == 24;
}

bool PassDecimal(signed char c) {
    return PassDigits(c) || c == '.';
}

bool PassTraverse(signed char c) {
    return PassDigits(c) || c == '-' || c == ' ';
}

bool PassSingleByte(signed char c) {
    return c >= 0;
}

QString FilterTypedText(const QString& text, const CharFilter& filter) {
    QString out;
    for (const QChar ch : text) {
        if (ch.isSurrogate()) {
            continue;  // outside every 8-bit set
        }
        const QByteArray bytes = QString(ch).toLocal8Bit();
        bool pass = !bytes.isEmpty();
        for (const char b : bytes) {
            pass = pass && filter(static_cast<signed char>(b));
        }
        if (pass) {
            out += ch;
        }
    }
    return out;
}

}  // namespace korvane::keys
