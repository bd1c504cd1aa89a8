// libFuzzer target: the FTP reply parser must never crash, overrun or loop on any byte stream,
// however it is split into reads.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FtpReply.h"
#include "FtpSession.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte chooses how the stream is cut into reads.
    const std::size_t step = 1 + data[0] % 64;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    ftp::ReplyParser parser;
    while (!rest.empty()) {
        std::string_view piece = rest.substr(0, step);
        while (!piece.empty()) {
            std::size_t used = 0;
            const auto state = parser.Feed(piece, &used);
            if (used > piece.size()) {
                __builtin_trap();
            }
            piece.remove_prefix(used);
            rest.remove_prefix(used);
            if (state == ftp::ReplyParser::State::Complete) {
                const ftp::Reply reply = parser.TakeReply();
                if (reply.code < 0 || reply.code > 999 ||
                    reply.text.size() > ftp::ReplyParser::kMaxText + 2) {
                    __builtin_trap();
                }
                ftp::SizeFromOpeningReply(reply.text);
            } else if (state == ftp::ReplyParser::State::Error) {
                parser.Reset();
                if (used == 0) {
                    piece.remove_prefix(1);
                    rest.remove_prefix(1);
                }
            } else if (used == 0) {
                __builtin_trap();  // no progress
            }
        }
    }
    ftp::TimeFromMdtm(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
