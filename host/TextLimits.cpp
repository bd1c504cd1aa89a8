#include "TextLimits.h"

namespace telmaris {

namespace {
// Length of the longest prefix of at most maxBytes that ends on a character boundary.
std::size_t BoundaryAtMost(const char* data, std::size_t size, std::size_t maxBytes) {
    if (size <= maxBytes) {
        return size;
    }
    std::size_t cut = maxBytes;
    // Step back over continuation bytes (10xxxxxx) so the cut lands before a lead byte.
    while (cut > 0 && (static_cast<unsigned char>(data[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return cut;
}
}  // namespace

std::string CutUtf8(const std::string& text, std::size_t maxBytes) {
    return text.substr(0, BoundaryAtMost(text.data(), text.size(), maxBytes));
}

QByteArray CutUtf8(const QByteArray& text, qsizetype maxBytes) {
    const auto n = BoundaryAtMost(text.constData(), static_cast<std::size_t>(text.size()),
                                  static_cast<std::size_t>(maxBytes));
    return text.left(static_cast<qsizetype>(n));
}

QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32) {
        ++begin;
    }
    while (end > begin && text.at(end - 1).unicode() <= 32) {
        --end;
    }
    return text.mid(begin, end - begin);
}

}  // namespace telmaris
