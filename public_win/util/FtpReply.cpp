#include "FtpReply.h"

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
    multiCode_ = 0;
    error_.clear();
}

ReplyParser::State ReplyParser::Feed(std::string_view data, std::size_t* used) {
    std::size_t i = 0;
    State state = State::NeedMore;
    while (i < data.size() && state == State::NeedMore) {
        const char c = data[i++];
        if (c != '\n') {
            if (line_.size() >= kMaxLine) {
                error_ = "reply line too long";
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
        error_ = "malformed reply line";
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

}  // namespace ftp
