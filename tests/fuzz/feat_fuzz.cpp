// libFuzzer target: the FEAT reader must never crash or overrun on any reply text, and a feature
// it finds must be on a line of the reply.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FtpReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (ftp::FeatureListed(text, "UTF8") && text.size() < 4) {
        __builtin_trap();
    }
    ftp::FeatureListed(text, "");
    ftp::FeatureListed(text, text);
    return 0;
}
