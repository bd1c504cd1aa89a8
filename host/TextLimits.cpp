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

}  // namespace telmaris
