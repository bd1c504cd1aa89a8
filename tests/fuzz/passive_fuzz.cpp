// libFuzzer target: the PASV and EPSV reply parsers must never crash or overrun on any reply
// text, and what they accept must be a usable port.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FtpPassive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto pasv = ftp::ParsePasvReply(text)) {
        if (pasv->port == 0 || pasv->host.size() > 15) {
            __builtin_trap();
        }
    }
    if (const auto epsv = ftp::ParseEpsvReply(text)) {
        if (epsv->port == 0 || !epsv->host.empty()) {
            __builtin_trap();
        }
    }
    return 0;
}
