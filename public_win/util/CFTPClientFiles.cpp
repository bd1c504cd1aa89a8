// Files on the server beyond transfers: listing, size and date, and a retrieval into a sink (a
// digest) instead of a local file.
#include <vector>

#include "CFTPClient.h"
#include "FtpRequire.h"
#include "FtpSession.h"
#include "Sha256.h"

bool CFTPClient::ListNames(std::vector<std::string>* names) {
    FTP_REQUIRE(names != nullptr);
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
    if (!RequireConnection()) {
        return std::nullopt;
    }
    auto size = m_hConnect->FileSize(pszRemoteFile);
    SetErrorFromStep(size.has_value());
    return size;
}

std::optional<std::time_t> CFTPClient::RemoteTime(const char* pszRemoteFile) {
    FTP_REQUIRE(pszRemoteFile != nullptr);
    if (!RequireConnection()) {
        return std::nullopt;
    }
    auto time = m_hConnect->ModificationTime(pszRemoteFile);
    SetErrorFromStep(time.has_value());
    return time;
}

bool CFTPClient::ReadRemote(const char* pszRemoteFile, const Sink& sink, uint64_t* size) {
    FTP_REQUIRE(pszRemoteFile != nullptr);
    FTP_REQUIRE(size != nullptr);
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
    // The size the server announced is where the data should not end before; the data's own
    // end is the file's.
    const uint64_t announced = remote->Size().value_or(0);
    for (;;) {
        const bool expectMore = *size < announced;
        std::size_t got = 0;
        const bool ok =
            ReadWithRetries(*remote, buffer.data(), buffer.size(), expectMore, false, &got);
        if (got == 0) {
            if (!ok || expectMore) {
                SetErrorFromFailure();
                return false;
            }
            break;
        }
        *size += got;
        if (!sink(buffer.data(), got)) {
            SetErrorText(ftp::Tr("ftp", "读取被中止"));
            return false;
        }
    }
    if (!remote->Close()) {
        SetErrorFromResponseOrSystem();
        return false;
    }
    return true;
}

bool CFTPClient::RemoteSha256(const char* pszRemoteFile, std::string* hex, uint64_t* size) {
    FTP_REQUIRE(hex != nullptr);
    ftp::Sha256 digest;
    const auto update = [&digest](const char* data, std::size_t n) {
        digest.Update(data, n);
        return true;
    };
    if (!ReadRemote(pszRemoteFile, update, size)) {
        return false;
    }
    *hex = digest.HexDigest();
    return true;
}
