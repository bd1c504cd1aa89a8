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

bool CFTPClient::StoreAs(const char* pszRemoteFile, const char* pszLocalFile, StoredCopy* copy,
                         uint64_t from) {
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
    uint64_t resumed =
        from > 0 && from <= total ? ConfirmedResume(pszRemoteFile, local.Fd(), from) : 0;
    ftp::Sha256 digest;
    if (!Store(pszRemoteFile, local.Fd(), &total, &resumed, digest)) {
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
        copy->resumedFrom = resumed;
    }
    return true;
}

uint64_t CFTPClient::ConfirmedResume(const char* pszRemoteFile, int fd, uint64_t from) {
    // A resume that cannot be confirmed starts again: that is no failure of the store.
    const KeepError keep(*this);
    // SIZE also sets binary type, without which a restart marker is refused (pyftpdlib).
    const auto size = m_hConnect->FileSize(pszRemoteFile);
    const uint64_t n = std::min<uint64_t>(from, kOverlap);
    const uint64_t at = from - n;
    if (size != from || (at > 0 && !m_hConnect->Restart(at, m_options.restart))) {
        return 0;
    }
    auto remote = m_hConnect->OpenFile(pszRemoteFile, ftp::Access::Read, from);
    if (!remote) {
        return 0;
    }
    std::vector<char> tail(n);
    std::size_t got = 0;
    const bool read = remote->Read(tail.data(), n, &got, m_timeouts.readMs, true);
    // The remote file ends where the bytes asked for end: its final reply confirms them.
    const bool confirmed = remote->Close(kBrokenReplyWaitMs);
    return read && confirmed && got == n &&
                   ftp::SameBytesAt(fd, static_cast<int64_t>(at), tail.data(), n)
               ? from
               : 0;
}

std::unique_ptr<ftp::FileTransfer> CFTPClient::OpenStore(const char* pszRemoteFile,
                                                         uint64_t* from) {
    if (*from > 0) {
        // Only the server's refusal lets the store start again; a lost session fails it.
        const auto refused = [this] {
            const int code = EngineFailure().code;
            return code == 0 || code == ftp::kErrCommandFailed;
        };
        m_hConnect->SetFailure({});
        if (m_hConnect->Restart(*from, m_options.restart)) {
            if (auto transfer = m_hConnect->OpenFile(pszRemoteFile, ftp::Access::Write)) {
                return transfer;
            }
        }
        if (!refused()) {
            return nullptr;
        }
        m_hConnect->SetFailure({});
        if (auto transfer = m_hConnect->OpenFile(pszRemoteFile, ftp::Access::Append)) {
            return transfer;
        }
        if (!refused()) {
            return nullptr;
        }
        *from = 0;
    }
    return m_hConnect->OpenFile(pszRemoteFile, ftp::Access::Write);
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
    if (!ServerRefused()) {
        // A rename that timed out or lost its connection was not refused: the server's last
        // reply belongs to an earlier command.
        SetErrorFromFailure();
        return false;
    }
    const std::string refusal = EngineResponse();
    // Some servers do not rename over an existing file: the old one steps aside, and comes back
    // when the new one cannot take its place.
    const std::string aside = ftp::TemporaryName(pszTo);
    if (!m_hConnect->FileSize(pszTo) || !m_hConnect->Rename(pszTo, aside)) {
        if (!ServerRefused()) {
            SetErrorFromFailure();
            return false;
        }
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
    const ftp::Status cause = EngineFailure();
    const std::string second = FailureReason();
    if (!m_hConnect->Rename(aside, pszTo)) {
        const std::string back = FailureReason();
        SetEngineFailure(cause);  // the code of why the new file did not take its place
        SetErrorText(ftp::Arg(ftp::Tr("ftp", "服务器拒绝改名(%1)，原文件暂存为[%2]，未能改回(%3)"),
                              {second, aside, back}));
        return false;
    }
    SetEngineFailure(cause);
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
        SetErrorFromFailure();
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
// Digests the first n bytes of fd, leaving its position after them; false with errno.
bool DigestPrefix(int fd, uint64_t n, ftp::Sha256& digest) {
    std::vector<char> buffer(CFTPClient::kUploadBlockSize);
    while (n > 0) {
        const ssize_t got = ::read(fd, buffer.data(), std::min<uint64_t>(n, buffer.size()));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            errno = got == 0 ? EIO : errno;
            return false;
        }
        digest.Update(buffer.data(), static_cast<std::size_t>(got));
        n -= static_cast<uint64_t>(got);
    }
    return true;
}

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

bool CFTPClient::SendBlocks(const char* pszRemoteFile, ftp::FileTransfer& remote, int fd,
                            uint64_t total, ftp::Sha256& digest, Progress& p) {
    // The blocks just sent are digested on a thread of their own while the next ones are read
    // and sent: the digest costs the upload no time of its own where a second core is free.
    ftp::Sha256Behind hashing(digest, kUploadBlockSize, kUploadBlocksAhead);
    bool slow = false;
    for (;;) {
        char* block = hashing.Buffer();
        const uint32_t t0 = m_clock->Ticks();
        const ssize_t n =
            ReadBlock(fd, block, slow ? kSlowBlockSize : kUploadBlockSize, p.count < total);
        if (n <= 0) {
            if (n < 0) {
                SetError(ftp::Status::Of(errno));
            }
            hashing.Finish();
            return n == 0;
        }
        const std::size_t accepted = WriteWithRetries(remote, block, static_cast<std::size_t>(n));
        hashing.Add(accepted);
        const uint32_t pass = m_clock->Ticks() - t0;
        slow = pass > kSlowBlockMs;
        p.elapsed += pass;
        p.count += accepted;
        Report(pszRemoteFile, p, std::max(total, p.count), p.from);
        if (accepted < static_cast<std::size_t>(n)) {
            SetErrorFromFailure();
            return false;  // the data connection broke mid-block; the rest cannot follow
        }
    }
}

bool CFTPClient::Store(const char* pszRemoteFile, int fd, uint64_t* sent, uint64_t* from,
                       ftp::Sha256& digest) {
    const uint64_t total = *sent;
    const uint64_t asked = *from;
    if (asked > 0 && !DigestPrefix(fd, asked, digest)) {
        return FailWithSystemError();
    }
    auto remote = OpenStore(pszRemoteFile, from);
    if (!remote) {
        SetErrorFromFailure();
        return false;
    }
    if (asked > 0 && *from == 0) {
        (void)digest.HexDigest();  // starts the digest anew
        if (::lseek(fd, 0, SEEK_SET) != 0) {
            return FailWithSystemError();
        }
    }
    if (m_lpfnProgress != nullptr) {
        m_lpfnProgress(pszRemoteFile, 0, 0, m_dwUserData);
    }
    if (m_observer) {
        m_observer(*from, total, *from);
    }
    Progress p;
    p.count = *from;
    p.from = *from;
    const bool failed = !SendBlocks(pszRemoteFile, *remote, fd, total, digest, p);
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
