#pragma once

#include <QByteArray>
#include <QString>
#include <string>

#include "HostApi.h"

namespace telmaris {

// Cuts UTF-8 text to at most maxBytes bytes without splitting a character.
TELMARIS_HOST_API std::string CutUtf8(const std::string& text, std::size_t maxBytes);
TELMARIS_HOST_API QByteArray CutUtf8(const QByteArray& text, qsizetype maxBytes);

// Removes every character of code 32 or below from both ends; inner ones stay.
TELMARIS_HOST_API QString TrimBlanks(const QString& text);

}  // namespace telmaris
