#pragma once

#include <cstddef>
#include <string>

namespace korvane {

constexpr std::size_t kInterfaceTextSize = 2048;

// The interface text as delivered from its fixed area: the text up to its zero byte (at most
// size - 1 characters), trailing then leading spaces (code 32 only) removed.
std::string TrimInterfaceText(const char* area, std::size_t size);

}  // namespace korvane
