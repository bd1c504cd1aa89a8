#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace korvane::keys {

// The five edit-box key filters. Each judges one signed 8-bit character of the local code page
// and either lets it pass (true) or swallows it (false, the edit box then ignores it).
bool PassDigits(signed char c);      // 0-9, backspace, Ctrl+A/C/V/X
bool PassDecimal(signed char c);     // the digits' set and '.'
bool PassTraverse(signed char c);    // the digits' set, '-' and ' '
bool PassSingleByte(signed char c);  // 0 to 127

using CharFilter = std::function<bool(signed char)>;

// The typed text as the filter lets it through: a character stays only when every byte of it in
// the local 8-bit encoding passes, so a multi-byte (Chinese) character is swallowed whole.
QString FilterTypedText(const QString& text, const CharFilter& filter);

}  // namespace korvane::keys
