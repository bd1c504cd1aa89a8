#include "TemporaryName.h"

#include <openssl/rand.h>

#include <cstdio>
#include <random>

namespace ftp {

namespace {
constexpr const char* kSuffix = ".part";
constexpr std::size_t kTagLength = 8;

bool IsHexTag(const std::string& s) {
    if (s.size() != kTagLength) {
        return false;
    }
    for (const char c : s) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

// Cuts s to at most n bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& s, std::size_t n) {
    if (s.size() <= n) {
        return s;
    }
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) {
        --n;
    }
    return s.substr(0, n);
}
}  // namespace

std::string RandomTag() {
    unsigned char bytes[kTagLength / 2];
    if (RAND_bytes(bytes, sizeof bytes) != 1) {
        std::random_device device;  // the names need to differ, not to be secret
        for (unsigned char& b : bytes) {
            b = static_cast<unsigned char>(device());
        }
    }
    char text[kTagLength + 1];
    for (std::size_t i = 0; i < sizeof bytes; ++i) {
        std::snprintf(text + 2 * i, 3, "%02x", bytes[i]);
    }
    return std::string(text, kTagLength);
}

std::string TemporaryName(const std::string& finalName, const std::string& random) {
    const std::string tail = "." + random + kSuffix;
    return CutUtf8(finalName, kMaxRemoteNameBytes - tail.size()) + tail;
}

std::string TemporaryName(const std::string& finalName) {
    return TemporaryName(finalName, RandomTag());
}

bool IsTemporaryName(const std::string& name) {
    const std::string suffix = kSuffix;
    const std::size_t tail = 1 + kTagLength + suffix.size();
    if (name.size() <= tail || name.compare(name.size() - suffix.size(), suffix.size(), suffix)) {
        return false;
    }
    const std::size_t dot = name.size() - tail;
    return name[dot] == '.' && IsHexTag(name.substr(dot + 1, kTagLength));
}

}  // namespace ftp
