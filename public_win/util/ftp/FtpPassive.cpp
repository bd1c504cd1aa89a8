#include "FtpPassive.h"

#include <cctype>
#include <vector>

namespace ftp {

namespace {

// Up to three digits at i, a number of 0 to 255; i moves past them.
std::optional<unsigned> ByteAt(const std::string& text, std::size_t& i) {
    unsigned value = 0;
    std::size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 4) {
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) {
        return std::nullopt;
    }
    return value;
}

// Six comma-separated bytes from i ("h1,h2,h3,h4,p1,p2"); i moves to where reading stopped.
std::optional<std::vector<unsigned>> SixBytesAt(const std::string& text, std::size_t& i) {
    std::vector<unsigned> numbers;
    while (numbers.size() < 6) {
        const std::optional<unsigned> b = ByteAt(text, i);
        if (!b) {
            return std::nullopt;
        }
        numbers.push_back(*b);
        if (numbers.size() < 6) {
            if (i >= text.size() || text[i] != ',') {
                return std::nullopt;
            }
            ++i;
        }
    }
    return numbers;
}

}  // namespace

std::optional<PassiveTarget> ParsePasvReply(const std::string& text) {
    // The first run of six comma-separated numbers after the code.
    for (std::size_t start = 4; start < text.size(); ++start) {
        if (!std::isdigit(static_cast<unsigned char>(text[start]))) {
            continue;
        }
        std::size_t i = start;
        const auto numbers = SixBytesAt(text, i);
        if (numbers) {
            const std::vector<unsigned>& n = *numbers;
            PassiveTarget t;
            t.host = std::to_string(n[0]) + "." + std::to_string(n[1]) + "." +
                     std::to_string(n[2]) + "." + std::to_string(n[3]);
            t.port = static_cast<uint16_t>(n[4] * 256 + n[5]);
            if (t.port != 0) {
                return t;
            }
        }
        start = i;
    }
    return std::nullopt;
}

std::optional<PassiveTarget> ParseEpsvReply(const std::string& text) {
    const auto open = text.find('(');
    if (open == std::string::npos || open + 4 >= text.size()) {
        return std::nullopt;
    }
    const char d = text[open + 1];
    if (d < 33 || d > 126 || std::isdigit(static_cast<unsigned char>(d)) || text[open + 2] != d ||
        text[open + 3] != d) {
        return std::nullopt;
    }
    std::size_t i = open + 4;
    unsigned long port = 0;
    std::size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 6) {
        port = port * 10 + static_cast<unsigned long>(text[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || port == 0 || port > 65535 || i + 1 >= text.size() || text[i] != d ||
        text[i + 1] != ')') {
        return std::nullopt;
    }
    return PassiveTarget{std::string(), static_cast<uint16_t>(port)};
}

}  // namespace ftp
