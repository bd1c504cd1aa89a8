// Uploads: a local file stored, directly or under a temporary name that is then renamed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "CFTPClient.h"
#include "FtpRequire.h"
#include "FtpSession.h"
#include "FtpWaitBudget.h"
#include "LocalFile.h"
#include "Sha256.h"
#include "TemporaryName.h"

namespace {
// Keeps the client's last error while a clean-up step writes its own.
class KeepError {
public:
    explicit KeepError(CFTPClient& client)
        : client_(client), saved_(client.m_szLastError), code_(client.m_nLastErrorCode) {}
    ~KeepError() {
        std::snprintf(client_.m_szLastError, CFTPClient::kLastErrorSize, "%s", saved_.c_str());
        client_.m_nLastErrorCode = code_;
    }
    KeepError(const KeepError&) = delete;
    KeepError& operator=(const KeepError&) = delete;

private:
    CFTPClient& client_;
    std::string saved_;
    int code_;
};
}  // namespace

bool CFTPClient::PutFile(const char* pszRemoteFile, const char* pszLocalFile) {
    FTP_REQUIRE(pszRemoteFile != NULL);
    FTP_REQUIRE(pszLocalFile != NULL);
    if (!m_options.storeViaPart) {
        return StoreAs(pszRemoteFile, pszLocalFile, nullptr);
    }
    const std::string temporary = ftp::TemporaryName(pszRemoteFile);
    if (StoreAs(temporary.c_str(), pszLocalFile, nullptr) &&
        Publish(temporary.c_str(), pszRemoteFile)) {
        return true;
    }
    if (m_hConnect && !CancelRequested()) {
        const KeepError keep(*this);
        RemoveFile(temporary.c_str());  // leave nothing half-stored behind
    }
    return false;
}

bool CFTPClient::StoreAs(const char* pszRemoteFile, const char* pszLocalFile, StoredCopy* copy) {
    FTP_REQUIRE(pszRemoteFile != NULL);
    FTP_REQUIRE(pszLocalFile != NULL);
    // The local file is opened first: a file that cannot be read must never replace a good
    // remote file with an empty one.
    // Not blocking: opening a FIFO would otherwise wait for a writer, without a bound.
    ftp::LocalFile local(::open(pszLocalFile, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!local.Valid() || fstat(local.Fd(), &st) != 0 || S_ISDIR(st.st_mode)) {
        if (local.Valid()) {
            errno = EISDIR;
        }
        return FailWithSystemError();
    }
    // A device or a pipe has no end to read to (or none yet): only files are uploaded.
    if (!S_ISREG(st.st_mode)) {
        SetErrorText(ftp::Arg(ftp::Tr("ftp", "[%1]不是普通文件，不能上传"), {pszLocalFile}));
        return false;
    }
    if (!RequireConnection()) {
        return false;
    }
    // The size a file reports is only a forecast (a file of /proc says 0): what is read to its
    // end is what is sent, counted and digested.
    uint64_t total = static_cast<uint64_t>(st.st_size);
    ftp::Sha256 digest;
    if (!Store(pszRemoteFile, local.Fd(), &total, &digest)) {
        return false;
    }
    // A server that lost bytes on the way (a full disk that still answered 226) is caught here.
    const auto stored = m_hConnect->FileSize(pszRemoteFile);
    if (stored && *stored != total) {
        SetErrorText(ftp::Arg(ftp::Tr("ftp", "服务器上的文件大小(%1)与本地文件(%2)不符"),
                              {std::to_string(*stored), std::to_string(total)}));
        return false;
    }
    if (copy != nullptr) {
        copy->size = total;
        copy->sha256 = digest.HexDigest();
    }
    return true;
}

bool CFTPClient::Publish(const char* pszFrom, const char* pszTo) {
    FTP_REQUIRE(pszFrom != NULL);
    FTP_REQUIRE(pszTo != NULL);
    if (!RequireConnection()) {
        return false;
    }
    if (m_hConnect->Rename(pszFrom, pszTo)) {
        return true;
    }
    const std::string refusal = EngineResponse();
    // Some servers do not rename over an existing file: the old one steps aside, and comes back
    // when the new one cannot take its place.
    const std::string aside = ftp::TemporaryName(pszTo);
    if (!m_hConnect->FileSize(pszTo) || !m_hConnect->Rename(pszTo, aside)) {
        SetErrorText(ftp::Arg(ftp::Tr("ftp",
                                      "服务器不允许改名(%1)，原文件保持不变。如该服务器不"
                                      "允许改名，请把系统参数korvane_ftp_upload设为direct。"),
                              {refusal}));
        return false;
    }
    if (m_hConnect->Rename(pszFrom, pszTo)) {
        const KeepError keep(*this);
        m_hConnect->Delete(aside);  // a leftover here is only a temporary file
        return true;
    }
    const std::string second = EngineResponse();
    if (!m_hConnect->Rename(aside, pszTo)) {
        SetErrorText(ftp::Arg(ftp::Tr("ftp", "服务器拒绝改名(%1)，原文件暂存为[%2]，未能改回(%3)"),
                              {second, aside, EngineResponse()}));
        return false;
    }
    SetErrorText(ftp::Arg(ftp::Tr("ftp", "服务器拒绝改名(%1)，原文件保持不变。"), {second}));
    return false;
}

bool CFTPClient::Rename(const char* pszFrom, const char* pszTo) {
    FTP_REQUIRE(pszFrom != NULL);
    FTP_REQUIRE(pszTo != NULL);
    if (!RequireConnection()) {
        return false;
    }
    if (!m_hConnect->Rename(pszFrom, pszTo)) {
        SetErrorFromFailure();
        return false;
    }
    return true;
}

bool CFTPClient::RemoveFile(const char* pszRemoteFile) {
    FTP_REQUIRE(pszRemoteFile != NULL);
    if (!RequireConnection()) {
        return false;
    }
    if (!m_hConnect->Delete(pszRemoteFile)) {
        SetErrorFromResponse();
        return false;
    }
    return true;
}

bool CFTPClient::Alive() {
    if (!m_hConnect) {
        return false;
    }
    const auto reply = m_hConnect->Command("NOOP");
    return reply && reply->Completion();
}

namespace {
// A block of the local file: its bytes, 0 at its end, -1 with errno. A file that ends before
// the size it reported (expectMore) was cut while it was being sent; one that reported 0 (as files
// of /proc do) or grew is sent to its end.
ssize_t ReadBlock(int fd, char* buffer, std::size_t size, bool expectMore) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 && expectMore) {
            errno = EIO;
            return -1;
        }
        return n;
    }
}
}  // namespace

std::size_t CFTPClient::WriteWithRetries(ftp::FileTransfer& remote, const char* data,
                                         std::size_t n) {
    std::size_t accepted = 0;
    const ftp::WaitBudget budget(m_timeouts.writeMs);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (remote.Write(data, n, &accepted, budget.Remaining()) || accepted > 0 ||
            budget.Spent() || StopIfCancelled()) {
            break;
        }
        Pause(budget);
    }
    NameConfiguredTimeout(ftp::waits::kWrite, m_timeouts.writeMs);
    return accepted;
}

bool CFTPClient::Store(const char* pszRemoteFile, int fd, uint64_t* sent, ftp::Sha256* digest) {
    const uint64_t total = *sent;
    auto remote = m_hConnect->OpenFile(pszRemoteFile, ftp::Access::Write);
    if (!remote) {
        SetErrorFromFailure();
        return false;
    }
    std::vector<char> buffer(kBufferSize);
    if (m_lpfnProgress != nullptr) {
        m_lpfnProgress(pszRemoteFile, 0, 0, m_dwUserData);
    }
    Progress p;
    bool failed = false;
    bool slow = false;
    if (m_observer) {
        m_observer(0, total, 0);
    }
    for (;;) {
        const uint32_t t0 = m_clock->Ticks();
        const ssize_t n =
            ReadBlock(fd, buffer.data(), slow ? kSlowBlockSize : buffer.size(), p.count < total);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            SetError(ftp::Status::Of(errno));
            failed = true;
            break;
        }
        if (digest != nullptr) {
            digest->Update(buffer.data(), static_cast<std::size_t>(n));
        }
        const std::size_t accepted =
            WriteWithRetries(*remote, buffer.data(), static_cast<std::size_t>(n));
        const uint32_t pass = m_clock->Ticks() - t0;
        slow = pass > kSlowBlockMs;
        p.elapsed += pass;
        p.count += accepted;
        Report(pszRemoteFile, p, std::max(total, p.count), 0);
        if (accepted < static_cast<std::size_t>(n)) {
            SetErrorFromFailure();
            failed = true;
            break;  // the data connection broke mid-block; the rest cannot follow
        }
    }
    // The server has the last word: a store it did not complete (no space, aborted) failed, and
    // its reply (451, 552) says why better than the broken connection did.
    const bool hadReason = m_szLastError[0] != '\0';
    // After a broken or stalled data connection the server's word is not worth another whole
    // timeout: the store ends within its timeout and this short wait.
    const bool confirmed = remote->Close(failed ? kBrokenReplyWaitMs : -1);
    if (!confirmed && ftp::LeadingCode(EngineResponse()).value_or(0) >= 400) {
        SetErrorFromResponse();
    } else if (!confirmed && !hadReason) {
        SetErrorFromFailure();
    }
    *sent = p.count;
    return !failed && confirmed;
}
