#include "InterfaceText.h"

#include <cstring>

namespace korvane {

std::string TrimInterfaceText(const char* area, std::size_t size) {
    std::size_t end = strnlen(area, size > 0 ? size - 1 : 0);
    while (end > 0 && area[end - 1] == ' ') {
        --end;
    }
    std::size_t begin = 0;
    while (begin < end && area[begin] == ' ') {
        ++begin;
    }
    return std::string(area + begin, end - begin);
}

}  // namespace korvane
