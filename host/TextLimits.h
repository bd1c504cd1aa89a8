#pragma once

#include <QByteArray>
#include <string>

#include "HostApi.h"

namespace telmaris {

// Cuts UTF-8 text to at most maxBytes bytes without splitting a character.
TELMARIS_HOST_API std::string CutUtf8(const std::string& text, std::size_t maxBytes);
TELMARIS_HOST_API QByteArray CutUtf8(const QByteArray& text, qsizetype maxBytes);

}  // namespace telmaris
