#pragma once

#include <cstddef>

namespace korvane {

// Length of the longest prefix of at most maxBytes bytes of UTF-8 text that ends on a character
// boundary, so that a cut never leaves half a character behind.
inline std::size_t Utf8BoundaryAtMost(const char* data, std::size_t size, std::size_t maxBytes) {
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

}  // namespace korvane
