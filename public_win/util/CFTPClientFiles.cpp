// Files on the server beyond transfers: listing, size and date, removal, and a retrieval into a
// sink (a digest) instead of a local file.
#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "CFTPClient.h"
#include "FtpRequire.h"

namespace {
struct MdCtxFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
}  // namespace

bool CFTPClient::ListNames(std::vector<std::string>* names) {
    FTP_REQUIRE(names != nullptr);
    const ftp::CancelScope cancel(m_cancel);
    if (!RequireConnection()) {
        return false;
    }
    auto listed = m_hConnect->ListNames();
    if (!listed) {
        SetErrorFromFailure();
        return false;
    }
    *names = std::move(*listed);
    return true;
}

std::optional<uint64_t> CFTPClient::RemoteSize(const char* pszRemoteFile) {
    FTP_REQUIRE(pszRemoteFile != nullptr);
    const ftp::CancelScope cancel(m_cancel);
    if (!RequireConnection()) {
        return std::nullopt;
    }
    auto size = m_hConnect->FileSize(pszRemoteFile);
    SetErrorFromResponse();
    return size;
}

std::optional<std::time_t> CFTPClient::RemoteTime(const char* pszRemoteFile) {
    FTP_REQUIRE(pszRemoteFile != nullptr);
    const ftp::CancelScope cancel(m_cancel);
    if (!RequireConnection()) {
        return std::nullopt;
    }
    auto time = m_hConnect->ModificationTime(pszRemoteFile);
    SetErrorFromResponse();
    return time;
}

bool CFTPClient::RemoveFile(const char* pszRemoteFile) {
    FTP_REQUIRE(pszRemoteFile != nullptr);
    const ftp::CancelScope cancel(m_cancel);
    if (!RequireConnection()) {
        return false;
    }
    const bool removed = m_hConnect->Delete(pszRemoteFile);
    SetErrorFromResponse();
    return removed;
}

bool CFTPClient::ReadRemote(const char* pszRemoteFile, const Sink& sink, uint64_t* size) {
    FTP_REQUIRE(pszRemoteFile != nullptr);
    FTP_REQUIRE(size != nullptr);
    const ftp::CancelScope cancel(m_cancel);
    *size = 0;
    if (!RequireConnection()) {
        return false;
    }
    const auto known = m_hConnect->FileSize(pszRemoteFile);
    auto remote = m_hConnect->OpenFile(pszRemoteFile, ftp::Access::Read, known);
    if (!remote) {
        SetErrorFromFailure();
        return false;
    }
    std::vector<char> buffer(kBufferSize);
    const bool sizeKnown = remote->Size().has_value();
    for (;;) {
        std::size_t got = 0;
        const bool ok =
            ReadWithRetries(*remote, buffer.data(), buffer.size(), sizeKnown, false, &got);
        if (got == 0) {
            if (!ok || (sizeKnown && *size < *remote->Size())) {
                SetErrorFromFailure();
                return false;
            }
            break;
        }
        *size += got;
        if (!sink(buffer.data(), got)) {
            SetErrorText("读取被中止");
            return false;
        }
        if (sizeKnown && *size >= *remote->Size()) {
            break;
        }
    }
    if (!remote->Close()) {
        SetErrorIfEmpty();
        return false;
    }
    return true;
}

bool CFTPClient::RemoteSha256(const char* pszRemoteFile, std::string* hex, uint64_t* size) {
    FTP_REQUIRE(hex != nullptr);
    const std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) {
        SetErrorText("SHA-256 不可用");
        return false;
    }
    const auto update = [&ctx](const char* data, std::size_t n) {
        return EVP_DigestUpdate(ctx.get(), data, n) == 1;
    };
    if (!ReadRemote(pszRemoteFile, update, size)) {
        return false;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest, &length) != 1) {
        SetErrorText("SHA-256 计算失败");
        return false;
    }
    hex->clear();
    for (unsigned int i = 0; i < length; ++i) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        hex->append(two, 2);
    }
    return true;
}
