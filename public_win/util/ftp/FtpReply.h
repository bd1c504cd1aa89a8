#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ftp {

// One complete server reply: its three-digit code and its whole text, every line with its CRLF.
struct Reply {
    int code = 0;
    std::string text;

    bool Preliminary() const { return code >= 100 && code < 200; }
    bool Completion() const { return code >= 200 && code < 300; }
    bool Failed() const { return code >= 400 || code < 100; }
};

// Assembles replies from the bytes of a control connection (RFC 959, 4.2): a reply is one line
// "ddd text", or lines from "ddd-text" to a line that starts with the same code and a blank.
// Lines end at LF (a CR before it is dropped). The text kept for a reply is capped (kMaxText);
// a line longer than kMaxLine, a reply longer than kMaxReply (continuation lines that never
// end) or a first line without a code is a protocol error.
class ReplyParser {
public:
    static constexpr std::size_t kMaxText = 4096;
    static constexpr std::size_t kMaxLine = 65536;
    static constexpr std::size_t kMaxReply = 4 * kMaxLine;

    enum class State { NeedMore, Complete, Error };

    // Consumes bytes from data up to the end of a complete reply (or all of them) and reports
    // how many were used in *used. After Complete, TakeReply() yields the reply and the parser
    // starts afresh; after Error (a line too long, a first line without a code) the parser
    // must be Reset().
    State Feed(std::string_view data, std::size_t* used);
    Reply TakeReply();
    void Reset();

private:
    State TakeLine(std::string_view line);

    std::string line_;
    Reply reply_;
    std::size_t size_ = 0;  // bytes of the reply so far
    int multiCode_ = 0;     // code of a multi-line reply in progress
};

// The three-digit code at the start of a line, or nullopt.
std::optional<int> LeadingCode(std::string_view line);

// Whether s holds a line break, which would end a command line early.
bool HasLineBreak(const std::string& s);
// A decimal number of up to 19 digits and nothing else.
std::optional<uint64_t> ParseUnsigned(const std::string& digits);
// The argument of a one-line "213 value" reply, without surrounding blanks.
std::string ReplyArgument(const Reply& reply);
// Parses "(1234 bytes)" out of an opening reply.
std::optional<uint64_t> SizeFromOpeningReply(const std::string& text);
// Parses an MDTM reply's "YYYYMMDDhhmmss" (UTC).
std::optional<std::time_t> TimeFromMdtm(const std::string& text);

// The lines of text without their line ends (LF, or CRLF); a last line without one counts.
std::vector<std::string> LinesOf(const std::string& text);

// Whether a FEAT reply lists the feature (a line " UTF8", case-insensitive).
bool FeatureListed(const std::string& featReply, const std::string& feature);

}  // namespace ftp
