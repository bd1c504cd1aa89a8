#include "FtpPassive.h"

#include <cctype>
#include <vector>

namespace ftp {

std::optional<PassiveTarget> ParsePasvReply(const std::string& text) {
    // The first run of six comma-separated numbers after the code.
    for (std::size_t start = 4; start < text.size(); ++start) {
        if (!std::isdigit(static_cast<unsigned char>(text[start]))) {
            continue;
        }
        std::vector<unsigned> numbers;
        std::size_t i = start;
        while (numbers.size() < 6 && i < text.size()) {
            unsigned value = 0;
            std::size_t digits = 0;
            while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) &&
                   digits < 4) {
                value = value * 10 + static_cast<unsigned>(text[i] - '0');
                ++i;
                ++digits;
            }
            if (digits == 0 || digits > 3 || value > 255) {
                break;
            }
            numbers.push_back(value);
            if (numbers.size() < 6) {
                if (i >= text.size() || text[i] != ',') {
                    break;
                }
                ++i;
            }
        }
        if (numbers.size() == 6) {
            PassiveTarget t;
            t.host = std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
                     std::to_string(numbers[2]) + "." + std::to_string(numbers[3]);
            t.port = static_cast<uint16_t>(numbers[4] * 256 + numbers[5]);
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

bool FeatureListed(const std::string& featReply, const std::string& feature) {
    std::size_t pos = 0;
    while (pos < featReply.size()) {
        std::size_t end = featReply.find('\n', pos);
        if (end == std::string::npos) {
            end = featReply.size();
        }
        std::string line = featReply.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty() || line[0] != ' ') {
            continue;  // the first and last lines carry the code
        }
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        const auto first = line.find_first_not_of(' ');
        if (first == std::string::npos) {
            continue;
        }
        std::string name = line.substr(first);
        const auto blank = name.find(' ');
        if (blank != std::string::npos) {
            name.resize(blank);
        }
        if (name.size() == feature.size()) {
            bool same = true;
            for (std::size_t k = 0; k < name.size() && same; ++k) {
                same = std::toupper(static_cast<unsigned char>(name[k])) ==
                       std::toupper(static_cast<unsigned char>(feature[k]));
            }
            if (same) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace ftp
