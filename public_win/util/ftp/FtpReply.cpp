#include "FtpReply.h"

#include <algorithm>
#include <cctype>
#include <ctime>

namespace ftp {

std::optional<int> LeadingCode(std::string_view line) {
    if (line.size() < 3) {
        return std::nullopt;
    }
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        const char c = line[static_cast<std::size_t>(i)];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        code = code * 10 + (c - '0');
    }
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-') {
        return std::nullopt;
    }
    return code;
}

void ReplyParser::Reset() {
    line_.clear();
    reply_ = Reply{};
    size_ = 0;
    multiCode_ = 0;
}

ReplyParser::State ReplyParser::Feed(std::string_view data, std::size_t* used) {
    std::size_t i = 0;
    State state = State::NeedMore;
    while (i < data.size() && state == State::NeedMore) {
        const char c = data[i++];
        if (++size_ > kMaxReply) {
            state = State::Error;
            break;
        }
        if (c != '\n') {
            if (line_.size() >= kMaxLine) {
                state = State::Error;
                break;
            }
            line_.push_back(c);
            continue;
        }
        if (!line_.empty() && line_.back() == '\r') {
            line_.pop_back();
        }
        state = TakeLine(line_);
        line_.clear();
    }
    if (used != nullptr) {
        *used = i;
    }
    return state;
}

ReplyParser::State ReplyParser::TakeLine(std::string_view line) {
    const auto code = LeadingCode(line);
    const bool first = multiCode_ == 0 && reply_.text.empty();
    if (first && !code) {
        return State::Error;
    }
    if (reply_.text.size() < kMaxText) {
        reply_.text.append(line.substr(0, kMaxText - reply_.text.size()));
        reply_.text.append("\r\n");
    }
    if (first) {
        reply_.code = *code;
        if (line.size() > 3 && line[3] == '-') {
            multiCode_ = *code;
            return State::NeedMore;
        }
        return State::Complete;
    }
    // Inside a multi-line reply only "<same code><blank>" (or the bare code) ends it.
    if (code && *code == multiCode_ && (line.size() == 3 || line[3] == ' ')) {
        return State::Complete;
    }
    return State::NeedMore;
}

Reply ReplyParser::TakeReply() {
    Reply out = std::move(reply_);
    Reset();
    return out;
}

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

std::optional<uint64_t> ParseUnsigned(const std::string& digits) {
    if (digits.empty() || digits.size() > 19 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoull(digits);
}

std::string ReplyArgument(const Reply& reply) {
    std::string text = reply.text.size() > 4 ? reply.text.substr(4) : std::string();
    const auto end = text.find_first_of("\r\n");
    text = text.substr(0, end);
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::optional<uint64_t> SizeFromOpeningReply(const std::string& text) {
    const auto bytes = text.find(" bytes)");
    if (bytes == std::string::npos) {
        return std::nullopt;
    }
    const auto open = text.rfind('(', bytes);
    if (open == std::string::npos) {
        return std::nullopt;
    }
    return ParseUnsigned(text.substr(open + 1, bytes - open - 1));
}

std::optional<std::time_t> TimeFromMdtm(const std::string& value) {
    if (value.size() < 14 ||
        value.substr(0, 14).find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = std::stoi(value.substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(value.substr(4, 2)) - 1;
    tm.tm_mday = std::stoi(value.substr(6, 2));
    tm.tm_hour = std::stoi(value.substr(8, 2));
    tm.tm_min = std::stoi(value.substr(10, 2));
    tm.tm_sec = std::stoi(value.substr(12, 2));
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31) {
        return std::nullopt;
    }
    return timegm(&tm);
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

bool FeatureListed(const std::string& featReply, const std::string& feature) {
    for (std::string& line : LinesOf(featReply)) {
        if (line.empty() || line[0] != ' ') {
            continue;  // the first and last lines carry the code
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        const auto first = line.find_first_not_of(' ');
        if (first == std::string::npos) {
            continue;
        }
        std::string name = line.substr(first);
        name.resize(std::min(name.size(), name.find(' ')));
        const auto sameLetter = [](char a, char b) {
            return std::toupper(static_cast<unsigned char>(a)) ==
                   std::toupper(static_cast<unsigned char>(b));
        };
        if (std::equal(name.begin(), name.end(), feature.begin(), feature.end(), sameLetter)) {
            return true;
        }
    }
    return false;
}

}  // namespace ftp
