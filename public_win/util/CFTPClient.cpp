#include "CFTPClient.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "LocalFile.h"
#include "Utf8Boundary.h"

// Argument checks are contract checks and stay active in every build.
#define FTP_REQUIRE(expr)                                                                     \
    do {                                                                                      \
        if (!(expr)) {                                                                        \
            std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", #expr, __FILE__, \
                         __LINE__);                                                           \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

namespace {

constexpr const char* kUnreachable = "未知错误![%s]主机不可达，请检查IP地址是否正确。";

// One network timeout shared by the attempts of a step, in real time whatever clock paces.
class WaitBudget {
public:
    explicit WaitBudget(int ms) : ms_(ms), start_(std::chrono::steady_clock::now()) {}
    int Remaining() const { return std::max(ms_ - Used(), 100); }
    bool Spent() const { return Used() >= ms_; }

private:
    int Used() const {
        return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start_)
                                    .count());
    }
    int ms_;
    std::chrono::steady_clock::time_point start_;
};

void SaveErrno() {
    ftp::SetLastError(errno);
}

// Fills dst (size bytes, zero-terminated) with at most size - 1 bytes of text, cut at a
// character boundary.
void CopyCut(char* dst, std::size_t size, const char* text, std::size_t n) {
    std::memset(dst, 0, size);
    std::memcpy(dst, text, korvane::Utf8BoundaryAtMost(text, n, size - 1));
}

// Stores a copy of an argument; one that is the client's own stored buffer stays as it is.
void CopyLimited(char* dst, const char* src, std::size_t size) {
    if (dst != src) {
        CopyCut(dst, size, src, std::strlen(src));
    }
}

}  // namespace

struct CFTPClient::Progress {
    uint64_t count = 0;    // R or N
    uint32_t elapsed = 0;  // E: time spent in passes, ms
    uint32_t lastReport = 0;
};

CFTPClient::CFTPClient()
    : m_hInternet(),
      m_hConnect(),
      m_bConnected(false),
      m_lpfnProgress(nullptr),
      m_dwUserData(0),
      m_clock(&ftp::Clock::Real()) {
    std::memset(m_szServer, 0, sizeof m_szServer);
    std::memset(m_szUser, 0, sizeof m_szUser);
    std::memset(m_szPass, 0, sizeof m_szPass);
    std::memset(m_szLastError, 0, sizeof m_szLastError);
}

CFTPClient::~CFTPClient() {
    Disconnect();
}

void CFTPClient::SetErrorFromResponse() {
    SetErrorText(ftp::LastResponse());
}

void CFTPClient::SetErrorText(const std::string& text) {
    CopyCut(m_szLastError, sizeof m_szLastError, text.data(), text.size());
}

void CFTPClient::SetErrorFromSystem() {
    const int code = ftp::LastError();
    if (code >= ftp::kOwnErrorBase) {
        // The layer's own errors have no system text; a timeout says of what and how long.
        SetErrorText(ftp::LastErrorText());
        return;
    }
    SetErrorText(code > 0 ? std::string(std::strerror(code)) : std::string());
}

// The reason of a failed network step: what the layer knows of it (a timeout, a broken
// connection), else the server's reply, else the system's text.
void CFTPClient::SetErrorFromFailure() {
    if (!ftp::LastErrorText().empty()) {
        SetErrorFromSystem();
        return;
    }
    SetErrorIfEmpty();
}

bool CFTPClient::FailWithSystemError() {
    SaveErrno();
    SetErrorFromSystem();
    return false;
}

bool CFTPClient::RequireConnection() {
    if (m_hConnect) {
        return true;
    }
    ftp::SetLastError(ftp::kErrCannotConnect);
    SetErrorIfEmpty();
    return false;
}

void CFTPClient::SetErrorIfEmpty() {
    SetErrorFromResponse();
    if (m_szLastError[0] == '\0') {
        SetErrorFromSystem();
    }
}

bool CFTPClient::Connect(const char* pszServer, const char* pszUser, const char* pszPass) {
    FTP_REQUIRE(pszServer);
    FTP_REQUIRE(pszUser);
    FTP_REQUIRE(pszPass);
    const ftp::CancelScope cancel(m_cancel);
    if (!m_hInternet) {
        m_hInternet = std::make_unique<ftp::Session>();
    }
    m_hInternet->SetTimeouts(m_timeouts);
    m_hInternet->SetDataMode(m_options.mode);
    m_hInternet->SetEncoding(m_options.encoding);
    m_hInternet->SetTls(m_options.tls);
    m_hConnect = m_hInternet->Connect(pszServer, pszUser, pszPass);
    if (!m_hConnect) {
        SetErrorFromSystem();
        if (m_szLastError[0] == '\0') {
            SetErrorFromResponse();
        }
        if (m_szLastError[0] == '\0') {
            std::snprintf(m_szLastError, sizeof m_szLastError, kUnreachable, pszServer);
        }
        return false;
    }
    m_bConnected = true;
    CopyLimited(m_szServer, pszServer, sizeof m_szServer);
    CopyLimited(m_szUser, pszUser, sizeof m_szUser);
    CopyLimited(m_szPass, pszPass, sizeof m_szPass);
    return true;
}

bool CFTPClient::SetCurrentDirectory(const char* pszRemotePath) {
    FTP_REQUIRE(pszRemotePath != NULL);
    const ftp::CancelScope cancel(m_cancel);
    if (!m_hConnect || !m_hConnect->SetCurrentDirectory(pszRemotePath)) {
        SetErrorFromResponse();
        return false;
    }
    m_directory = pszRemotePath;
    return true;
}

void CFTPClient::Disconnect() {
    m_hConnect.reset();
    m_hInternet.reset();
    m_bConnected = false;
}

void CFTPClient::Pause() {
    for (uint32_t slept = 0; slept < kRetryPauseMs && !ftp::Cancelled();) {
        const uint32_t step = std::min<uint32_t>(ftp::kCancelPollMs, kRetryPauseMs - slept);
        m_clock->Sleep(step);
        slept += step;
    }
}

void CFTPClient::Report(const char* pszRemoteFile, Progress& p, uint64_t total, uint64_t from) {
    if (m_observer) {
        m_observer(p.count, total, from);
    }
    if (m_lpfnProgress == nullptr || p.elapsed - p.lastReport < 1000) {
        return;
    }
    // Without a known size there is no share to report.
    const auto percent = total == 0 ? 0
                                    : static_cast<int32_t>(static_cast<double>(p.count) /
                                                           static_cast<double>(total) * 100.0);
    const auto speed = static_cast<uint32_t>((p.count / 1024) / (p.elapsed / 1000));
    m_lpfnProgress(pszRemoteFile, percent, speed, m_dwUserData);
    p.lastReport = p.elapsed;
}

// A partial copy is continued only when it is known to be a prefix of the current remote file:
// not longer than it, not older than it, recorded as a copy of this very version (where the
// file system keeps the record), and, checked during the retrieval, holding the same bytes
// in the last kOverlap bytes before its end.
int64_t CFTPClient::PlanRestart(int fd, int64_t localSize, const ftp::RemoteVersion& remote,
                                uint64_t* verify) {
    *verify = 0;
    const auto local = static_cast<uint64_t>(localSize);
    struct stat st {};
    const bool allowed =
        (!remote.size || local <= *remote.size) &&
        (!remote.modified || (fstat(fd, &st) == 0 && st.st_mtime >= *remote.modified)) &&
        ftp::CheckRecord(fd, remote) != ftp::RecordCheck::Differs && local > kOverlap;
    if (!allowed) {
        return 0;
    }
    const uint64_t offset = local - kOverlap;
    const bool accepted = m_hConnect->Restart(offset, m_options.restart);
    SetErrorFromResponse();
    if (!accepted) {
        return 0;
    }
    *verify = kOverlap;
    return static_cast<int64_t>(offset);
}

bool CFTPClient::GetFile(const char* pszRemoteFile, const char* pszLocalFile, int nMaxRate) {
    FTP_REQUIRE(pszRemoteFile != NULL);
    FTP_REQUIRE(pszLocalFile != NULL);
    const ftp::CancelScope cancel(m_cancel);
    bool created = false;
    ftp::LocalFile local(ftp::OpenDownloadTarget(pszLocalFile, &created));
    if (!local.Valid()) {
        return FailWithSystemError();
    }
    const off_t end = lseek(local.Fd(), 0, SEEK_END);
    if (end < 0) {
        return FailWithSystemError();
    }
    if (!RequireConnection()) {
        return false;
    }
    const auto size = m_hConnect->FileSize(pszRemoteFile);
    const auto modified = m_hConnect->ModificationTime(pszRemoteFile);
    const ftp::RemoteVersion remote{m_szServer, m_directory, pszRemoteFile, size, modified};
    uint64_t verify = 0;
    const int64_t restart = end > 0 ? PlanRestart(local.Fd(), end, remote, &verify) : 0;
    if (restart == 0) {
        ftp::WriteRecord(local.Fd(), remote);
    }
    lseek(local.Fd(), restart, SEEK_SET);
    Retrieval r = Retrieve(pszRemoteFile, local.Fd(), restart, verify, remote.size, nMaxRate);
    const bool emptyRestart =
        r.ok && !r.sizeKnown && restart > 0 && r.count == static_cast<uint64_t>(restart) + verify;
    if (r.mismatch || emptyRestart) {
        // The local copy is not a prefix of the remote file, or nothing says how long the
        // remote file is while the restart brought no new byte: only a download from 0 is safe.
        ftp::WriteRecord(local.Fd(), remote);
        lseek(local.Fd(), 0, SEEK_SET);
        r = Retrieve(pszRemoteFile, local.Fd(), 0, 0, remote.size, nMaxRate);
    }
    if (!r.ok && created && r.count == 0) {
        // Nothing arrived: leave no empty file that was not there before.
        ::unlink(pszLocalFile);
    }
    return r.ok;
}

bool CFTPClient::ReadWithRetries(ftp::FileTransfer& remote, char* buffer, std::size_t n,
                                 bool sizeKnown, bool fill, std::size_t* got) {
    // The attempts share one read timeout: a stalled server costs one timeout and the pauses.
    const WaitBudget budget(m_timeouts.readMs);
    bool ok = false;
    *got = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ok = remote.Read(buffer, n, got, budget.Remaining(), fill);
        if ((ok && *got > 0) || (!sizeKnown && ok)) {
            return ok;  // without a size, the end of the data is the end of the file
        }
        if (budget.Spent() || ftp::Cancelled()) {
            break;
        }
        Pause();
    }
    return ok;
}

CFTPClient::Retrieval CFTPClient::Retrieve(const char* pszRemoteFile, int fd, int64_t restart,
                                           uint64_t verify, std::optional<uint64_t> knownSize,
                                           int nMaxRate) {
    Retrieval r;
    auto remote = m_hConnect->OpenFile(pszRemoteFile, ftp::Access::Read, knownSize);
    if (!remote) {
        SetErrorFromFailure();
        return r;
    }
    const int rate = (nMaxRate < 1 || nMaxRate > 128) ? 128 : nMaxRate;
    std::size_t chunk = static_cast<std::size_t>(rate) * 1024;
    std::vector<char> buffer(kBufferSize);
    r.sizeKnown = remote->Size().has_value();
    const uint64_t total = remote->Size().value_or(0);
    if (m_lpfnProgress != nullptr) {
        m_lpfnProgress(pszRemoteFile, 0, 0, m_dwUserData);
    }
    Progress p;
    p.count = static_cast<uint64_t>(restart);
    const uint64_t verifiedEnd = p.count + verify;
    if (m_observer) {
        m_observer(p.count, total, p.count);
    }
    bool failed = false;
    ftp::SetLastError(0);
    while (!r.sizeKnown || p.count < total) {
        const uint32_t t0 = m_clock->Ticks();
        if (r.sizeKnown && total - p.count < chunk) {
            chunk = static_cast<std::size_t>(total - p.count);
        }
        if (ftp::LastError() == ftp::kErrTimeout) {
            // The last pass ended waiting after some data: the read timeout is spent already.
            SetErrorFromSystem();
            failed = true;
            break;
        }
        std::size_t got = 0;
        const bool ok =
            ReadWithRetries(*remote, buffer.data(), chunk, r.sizeKnown, rate < 128, &got);
        if (got == 0) {
            failed = r.sizeKnown || !ok;
            if (failed) {
                SetErrorFromFailure();
            }
            break;
        }
        if (p.count < verifiedEnd) {
            const auto n = static_cast<std::size_t>(std::min<uint64_t>(got, verifiedEnd - p.count));
            if (!ftp::SameBytesAt(fd, static_cast<int64_t>(p.count), buffer.data(), n)) {
                r.mismatch = true;
                break;
            }
        }
        if (!ftp::WriteAll(fd, buffer.data(), got)) {
            SaveErrno();
            SetErrorFromSystem();
            failed = true;
            break;
        }
        const uint32_t pass = m_clock->Ticks() - t0;
        p.elapsed += pass;
        if (rate < 128 && pass < 1000) {
            m_clock->Sleep(1000 - pass);
            p.elapsed += 1000 - pass;
        }
        p.count += got;
        Report(pszRemoteFile, p, total, static_cast<uint64_t>(restart));
    }
    // A download that started from the beginning replaces the whole local file: nothing of an
    // older, longer copy may remain beyond the new end.
    if (restart == 0 && !r.mismatch) {
        const off_t here = lseek(fd, 0, SEEK_CUR);
        if (here >= 0 && ftruncate(fd, here) != 0) {
            SaveErrno();
            SetErrorFromSystem();
        }
    }
    // The server has the last word: a retrieval it aborted (426) failed, however much came.
    // After a broken data connection its word is not worth another whole timeout.
    const bool closedCleanly = remote->Close(failed ? kBrokenReplyWaitMs : -1);
    if (!closedCleanly && !failed && !r.mismatch) {
        SetErrorFromResponse();
    }
    r.count = p.count;
    r.ok = !r.mismatch && closedCleanly && (r.sizeKnown ? p.count == total : !failed);
    return r;
}

bool CFTPClient::PutFile(const char* pszRemoteFile, const char* pszLocalFile) {
    FTP_REQUIRE(pszRemoteFile != NULL);
    FTP_REQUIRE(pszLocalFile != NULL);
    const ftp::CancelScope cancel(m_cancel);
    // The local file is opened first: a file that cannot be read must never replace a good
    // remote file with an empty one.
    ftp::LocalFile local(::open(pszLocalFile, O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!local.Valid() || fstat(local.Fd(), &st) != 0 || S_ISDIR(st.st_mode)) {
        if (local.Valid()) {
            errno = EISDIR;
        }
        return FailWithSystemError();
    }
    if (!RequireConnection()) {
        return false;
    }
    const std::string name = pszRemoteFile;
    const std::string stored = m_options.storeViaPart ? name + ".part" : name;
    if (!Store(stored.c_str(), local.Fd(), static_cast<uint64_t>(st.st_size))) {
        return false;
    }
    if (!m_options.storeViaPart || m_hConnect->Rename(stored, name)) {
        return true;
    }
    // Some servers do not rename over an existing file: the operator agreed to replace it.
    const std::string refusal = ftp::LastResponse();
    if (m_hConnect->Delete(name) && m_hConnect->Rename(stored, name)) {
        return true;
    }
    SetErrorText(refusal);
    return false;
}

bool CFTPClient::Store(const char* pszRemoteFile, int fd, uint64_t total) {
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
    while (p.count < total) {
        const uint32_t t0 = m_clock->Ticks();
        const ssize_t n = ::read(fd, buffer.data(), slow ? kSlowBlockSize : buffer.size());
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;  // the file shrank while it was being sent
            }
            SaveErrno();
            SetErrorFromSystem();
            failed = true;
            break;
        }
        std::size_t accepted = 0;
        const WaitBudget budget(m_timeouts.writeMs);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (remote->Write(buffer.data(), static_cast<std::size_t>(n), &accepted,
                              budget.Remaining()) ||
                accepted > 0 || budget.Spent() || ftp::Cancelled()) {
                break;
            }
            Pause();
        }
        const uint32_t pass = m_clock->Ticks() - t0;
        slow = pass > kSlowBlockMs;
        p.elapsed += pass;
        p.count += accepted;
        Report(pszRemoteFile, p, total, 0);
        if (accepted < static_cast<std::size_t>(n)) {
            SetErrorFromFailure();
            failed = true;
            break;  // the data connection broke mid-block; the rest cannot follow
        }
    }
    // The server has the last word: a store it did not complete (no space, aborted) failed, and
    // its reply (451, 552) says why better than the broken connection did.
    const bool hadReason = m_szLastError[0] != '\0';
    const bool confirmed = remote->Close();
    if (!confirmed && ftp::LeadingCode(ftp::LastResponse()).value_or(0) >= 400) {
        SetErrorFromResponse();
    } else if (!confirmed && !hadReason) {
        SetErrorFromFailure();
    }
    return !failed && p.count == total && confirmed;
}
