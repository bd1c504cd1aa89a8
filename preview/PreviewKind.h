#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace korvane {

// How a file is shown, told by its first bytes (a name's extension can lie, and scans are often
// saved under the wrong one).
enum class PreviewKind { Pdf, Image, Text, Other };

// head: the file's first bytes (a few KiB).
PreviewKind SniffKind(const QByteArray& head);

// The text of bytes in UTF-8 (a byte-order mark is dropped), else in GBK; nothing when they are
// neither, or hold control characters that no text file has.
std::optional<QString> DecodeText(const QByteArray& bytes);

}  // namespace korvane
