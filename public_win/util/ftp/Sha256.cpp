#include "Sha256.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "LocalFile.h"

namespace ftp {

struct Sha256::Context {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(md); }
};

Sha256::Sha256() : ctx_(std::make_unique<Context>()) {
    EVP_DigestInit_ex(ctx_->md, EVP_sha256(), nullptr);
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, std::size_t n) {
    EVP_DigestUpdate(ctx_->md, data, n);
}

std::string Sha256::HexDigest() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx_->md, digest, &length);
    EVP_DigestInit_ex(ctx_->md, EVP_sha256(), nullptr);
    std::string hex(2 * length, '0');
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(&hex[2 * i], 3, "%02x", digest[i]);
    }
    return hex;
}

std::string Sha256OfFile(const char* path) {
    LocalFile file(::open(path, O_RDONLY | O_CLOEXEC));
    if (!file.Valid()) {
        return std::string();
    }
    Sha256 sha;
    std::vector<char> buffer(1 << 17);
    for (;;) {
        const ssize_t n = ::read(file.Fd(), buffer.data(), buffer.size());
        if (n < 0) {
            return std::string();
        }
        if (n == 0) {
            return sha.HexDigest();
        }
        sha.Update(buffer.data(), static_cast<std::size_t>(n));
    }
}

}  // namespace ftp
