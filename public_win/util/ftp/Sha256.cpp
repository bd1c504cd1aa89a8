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

Sha256Behind::Sha256Behind(Sha256& digest, std::size_t blockSize, std::size_t depth)
    : digest_(digest),
      blockSize_(blockSize),
      depth_(depth),
      ring_(blockSize * depth),
      sizes_(depth),
      thread_([this] { Run(); }) {}

Sha256Behind::~Sha256Behind() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void Sha256Behind::DigestOldest(std::unique_lock<std::mutex>& lock) {
    busy_ = true;
    const std::size_t at = digested_ % depth_;
    const std::size_t n = sizes_[at];
    lock.unlock();
    digest_.Update(ring_.data() + at * blockSize_, n);
    lock.lock();
    ++digested_;
    busy_ = false;
    changed_.notify_all();
}

char* Sha256Behind::Buffer() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (added_ - digested_ == depth_) {
        if (busy_) {
            changed_.wait(lock);
        } else {
            DigestOldest(lock);
        }
    }
    return ring_.data() + (added_ % depth_) * blockSize_;
}

void Sha256Behind::Add(std::size_t n) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        sizes_[added_ % depth_] = n;
        ++added_;
    }
    changed_.notify_all();
}

void Sha256Behind::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (digested_ != added_) {
        if (busy_) {
            changed_.wait(lock);
        } else {
            DigestOldest(lock);
        }
    }
}

void Sha256Behind::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !busy_ && (added_ != digested_ || stop_); });
        if (added_ == digested_) {
            return;  // stopped with nothing left to digest
        }
        DigestOldest(lock);
    }
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
