#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace ftp {

// SHA-256 over bytes fed in pieces, as they stream past.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, std::size_t n);
    // 64 lower-case hex digits; the digest is finished and starts anew.
    std::string HexDigest();

private:
    struct Context;
    std::unique_ptr<Context> ctx_;
};

// The digest of a whole local file: 64 hex digits, or empty (with errno) when it cannot be read.
std::string Sha256OfFile(const char* path);

}  // namespace ftp
