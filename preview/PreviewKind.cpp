#include "PreviewKind.h"

#include <iconv.h>
#include <QStringDecoder>
#include <array>
#include <cerrno>
#include <string_view>

namespace korvane {

namespace {

bool StartsWith(const QByteArray& head, std::string_view magic) {
    return head.startsWith(
        QByteArray::fromRawData(magic.data(), static_cast<qsizetype>(magic.size())));
}

// Tabs, line ends and form feeds are text; any other control byte is not.
bool HasBinaryBytes(const QByteArray& bytes) {
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1b) {
            return true;
        }
    }
    return false;
}

std::optional<QString> FromGbk(const QByteArray& bytes) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    QByteArray out(bytes.size() * 2 + 4, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char* to = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    const size_t done = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    // A multi-byte character cut at the end of a capped read is no fault of the file.
    if (done == static_cast<size_t>(-1) && !(errno == EINVAL && inLeft < 2)) {
        return std::nullopt;
    }
    out.truncate(out.size() - static_cast<qsizetype>(outLeft));
    return QString::fromUtf8(out);
}

}  // namespace

PreviewKind SniffKind(const QByteArray& head) {
    // A PDF may carry a little junk before its header; readers accept it within 1 KiB.
    if (head.left(1024).contains("%PDF-")) {
        return PreviewKind::Pdf;
    }
    constexpr std::array<std::string_view, 8> kImages{
        "\x89PNG\r\n\x1a\n", "\xff\xd8\xff", "GIF87a", "GIF89a", "BM", "II*\0", "MM\0*", "RIFF"};
    for (const std::string_view magic : kImages) {
        if (StartsWith(head, magic) && (magic != "RIFF" || head.mid(8, 4) == "WEBP")) {
            return PreviewKind::Image;
        }
    }
    return DecodeText(head) ? PreviewKind::Text : PreviewKind::Other;
}

std::optional<QString> DecodeText(const QByteArray& bytes) {
    if (HasBinaryBytes(bytes)) {
        return std::nullopt;
    }
    // Stateful: a character cut at the end of a capped read waits in the state, no error.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        if (text.startsWith(QChar(0xfeff))) {
            text.remove(0, 1);
        }
        return text;
    }
    return FromGbk(bytes);
}

}  // namespace korvane
