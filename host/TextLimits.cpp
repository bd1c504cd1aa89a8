#include "TextLimits.h"

#include "Utf8Boundary.h"

namespace telmaris {

std::string CutUtf8(const std::string& text, std::size_t maxBytes) {
    return text.substr(0, korvane::Utf8BoundaryAtMost(text.data(), text.size(), maxBytes));
}

QByteArray CutUtf8(const QByteArray& text, qsizetype maxBytes) {
    const auto n =
        korvane::Utf8BoundaryAtMost(text.constData(), static_cast<std::size_t>(text.size()),
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
