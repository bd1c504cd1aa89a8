#include "FtpEncoding.h"

#include <strings.h>
#include <cerrno>
#include <cstring>

namespace ftp {

namespace {
const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

bool IsUtf8Name(const std::string& name) {
    return strcasecmp(name.c_str(), "UTF-8") == 0 || strcasecmp(name.c_str(), "UTF8") == 0;
}

// Runs one conversion; on an invalid or unconvertible input byte calls onBad (which may append
// a replacement) and skips the byte, or stops when onBad is null. False when it stopped.
bool Convert(iconv_t cd, const std::string& in, std::string* out, const char* replacement) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buffer[512];
    while (left > 0) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t r = iconv(cd, &src, &left, &dst, &room);
        out->append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r != static_cast<std::size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;
        }
        if (replacement == nullptr) {
            return false;
        }
        out->append(replacement);  // EILSEQ, or EINVAL at a cut character: skip one byte
        ++src;
        --left;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &room);
    out->append(buffer, static_cast<std::size_t>(dst - buffer));
    return true;
}
}  // namespace

NameCodec::NameCodec(std::string name, iconv_t to, iconv_t from, bool utf8)
    : name_(std::move(name)), to_(to), from_(from), utf8_(utf8) {}

NameCodec::~NameCodec() {
    iconv_close(to_);
    iconv_close(from_);
}

std::unique_ptr<NameCodec> NameCodec::Open(const std::string& encoding) {
    const iconv_t to = iconv_open(encoding.c_str(), "UTF-8");
    if (to == kNone) {
        return nullptr;
    }
    const iconv_t from = iconv_open("UTF-8", encoding.c_str());
    if (from == kNone) {
        iconv_close(to);
        return nullptr;
    }
    return std::unique_ptr<NameCodec>(new NameCodec(encoding, to, from, IsUtf8Name(encoding)));
}

bool NameCodec::Known(const std::string& encoding) {
    return Open(encoding) != nullptr;
}

bool NameCodec::Encode(const std::string& utf8, std::string* out) const {
    out->clear();
    return Convert(to_, utf8, out, nullptr);
}

std::string NameCodec::Decode(const std::string& bytes) const {
    std::string out;
    Convert(from_, bytes, &out, "\xEF\xBF\xBD");
    return out;
}

}  // namespace ftp
