#include "CFTPClient.h"

#include "Utf8Boundary.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

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

uint32_t TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void Pause(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SaveErrno() {
    ftp::SetLastError(errno);
}

// Copies at most size - 1 bytes and never splits a character of a name.
void CopyLimited(char* dst, const char* src, std::size_t size) {
    if (dst == src) {
        return;
    }
    std::memset(dst, 0, size);
    std::memcpy(dst, src, korvane::Utf8BoundaryAtMost(src, std::strlen(src), size - 1));
}

// A local file descriptor that closes itself.
class LocalFile {
public:
    explicit LocalFile(int fd) : fd_(fd) {}
    ~LocalFile() { Close(); }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;
    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
};

// Opens the download target for reading and writing, creating it when missing and keeping its
// content, and takes it for this process alone (no other download may write it meanwhile).
// *created says whether this call made the file.
int OpenDownloadTarget(const char* path, bool* created) {
    int fd = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    *created = fd >= 0;
    if (fd < 0 && errno == EEXIST) {
        fd = ::open(path, O_RDWR | O_CLOEXEC);
    }
    if (fd < 0) {
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, const char* data, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t k = ::write(fd, data + done, n - done);
        if (k < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(k);
    }
    return true;
}

}  // namespace

struct CFTPClient::Progress {
    uint64_t count = 0;    // R or N
    uint32_t elapsed = 0;  // E: time spent in passes, ms
    uint32_t lastReport = 0;
};

CFTPClient::CFTPClient()
    : m_hInternet(), m_hConnect(), m_bConnected(false), m_lpfnProgress(nullptr), m_dwUserData(0) {
    std::memset(m_szServer, 0, sizeof m_szServer);
    std::memset(m_szUser, 0, sizeof m_szUser);
    std::memset(m_szPass, 0, sizeof m_szPass);
    std::memset(m_szLastError, 0, sizeof m_szLastError);
}

CFTPClient::~CFTPClient() {
    Disconnect();
}

void CFTPClient::SetErrorFromResponse() {
    std::memset(m_szLastError, 0, sizeof m_szLastError);
    const std::string& reply = ftp::LastResponse();
    std::memcpy(m_szLastError, reply.data(),
                korvane::Utf8BoundaryAtMost(reply.data(), reply.size(), sizeof m_szLastError - 1));
}

void CFTPClient::SetErrorFromSystem() {
    std::memset(m_szLastError, 0, sizeof m_szLastError);
    const int code = ftp::LastError();
    if (code <= 0 || code >= ftp::kOwnErrorBase) {
        return;  // the protocol layer's own errors have no system text
    }
    std::strncpy(m_szLastError, std::strerror(code), sizeof m_szLastError - 1);
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
    if (!m_hInternet) {
        m_hInternet = std::make_unique<ftp::Session>();
    }
    m_hInternet->SetTimeouts(m_timeouts);
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
    if (!m_hConnect || !m_hConnect->SetCurrentDirectory(pszRemotePath)) {
        SetErrorFromResponse();
        return false;
    }
    return true;
}

void CFTPClient::Disconnect() {
    m_hConnect.reset();
    m_hInternet.reset();
    m_bConnected = false;
}

void CFTPClient::Report(const char* pszRemoteFile, Progress& p, uint64_t total) {
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

// A partial copy may only be continued when it can be a prefix of the remote file: not longer
// than it and not older than it. Where the server answers neither SIZE nor MDTM, the restart
// negotiation alone decides.
bool CFTPClient::ResumeAllowed(int fd, int64_t localSize, const char* pszRemoteFile) {
    const auto remoteSize = m_hConnect->FileSize(pszRemoteFile);
    const auto remoteTime = m_hConnect->ModificationTime(pszRemoteFile);
    if (remoteSize && static_cast<uint64_t>(localSize) > *remoteSize) {
        return false;
    }
    struct stat st {};
    if (remoteTime && fstat(fd, &st) == 0 && st.st_mtime < *remoteTime) {
        return false;
    }
    return true;
}

// Returns the offset at which the retrieval continues: localSize when the server confirmed the
// restart in the expected words, else 0 (with the file position back at the start).
int64_t CFTPClient::NegotiateRestart(int fd, int64_t localSize, const char* pszRemoteFile) {
    if (!ResumeAllowed(fd, localSize, pszRemoteFile)) {
        lseek(fd, 0, SEEK_SET);
        return 0;
    }
    const std::string offset = std::to_string(localSize);
    const bool sent = m_hConnect->Command("REST " + offset);
    const int replyCode = ftp::LeadingCode(ftp::LastResponse()).value_or(0);
    SetErrorFromResponse();
    const std::string expected = "350 Restarting at " + offset;
    if (sent && std::strstr(m_szLastError, expected.c_str()) != nullptr) {
        return localSize;
    }
    // Refused. A server that accepted in other words still holds the marker, and the retrieval
    // would send the bytes from there into the start of the file: clear it.
    if (replyCode == 350) {
        m_hConnect->Command("REST 0");
    }
    lseek(fd, 0, SEEK_SET);
    return 0;
}

bool CFTPClient::GetFile(const char* pszRemoteFile, const char* pszLocalFile, int nMaxRate) {
    FTP_REQUIRE(pszRemoteFile != NULL);
    FTP_REQUIRE(pszLocalFile != NULL);
    bool created = false;
    LocalFile local(OpenDownloadTarget(pszLocalFile, &created));
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
    int64_t restart = 0;
    if (end > 0) {
        restart = NegotiateRestart(local.Fd(), end, pszRemoteFile);
    } else {
        m_hConnect->FileSize(pszRemoteFile);
    }
    Retrieval r = Retrieve(pszRemoteFile, local.Fd(), restart, nMaxRate);
    if (r.ok && !r.sizeKnown && restart > 0 && r.count == static_cast<uint64_t>(restart)) {
        // The restart was accepted but no byte came and nothing says how long the remote file
        // is: the local copy may be longer than it. Only a download from 0 can tell.
        lseek(local.Fd(), 0, SEEK_SET);
        r = Retrieve(pszRemoteFile, local.Fd(), 0, nMaxRate);
    }
    if (!r.ok && created && r.count == 0) {
        // Nothing arrived: leave no empty file that was not there before.
        ::unlink(pszLocalFile);
    }
    return r.ok;
}

CFTPClient::Retrieval CFTPClient::Retrieve(const char* pszRemoteFile, int fd, int64_t restart,
                                           int nMaxRate) {
    Retrieval r;
    auto remote = m_hConnect->OpenFile(pszRemoteFile, ftp::Access::Read);
    if (!remote) {
        SetErrorIfEmpty();
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
    bool failed = false;
    while (!r.sizeKnown || p.count < total) {
        const uint32_t t0 = TickCount();
        if (r.sizeKnown && total - p.count < chunk) {
            chunk = static_cast<std::size_t>(total - p.count);
        }
        std::size_t got = 0;
        bool ok = false;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            ok = remote->Read(buffer.data(), chunk, &got);
            if (ok && got > 0) {
                break;
            }
            if (!r.sizeKnown && ok) {
                break;  // without a size, the end of the data is the end of the file
            }
            Pause(kRetryPauseMs);
        }
        if (got == 0) {
            failed = r.sizeKnown || !ok;
            if (failed) {
                SetErrorIfEmpty();
            }
            break;
        }
        if (!WriteAll(fd, buffer.data(), got)) {
            SaveErrno();
            SetErrorFromSystem();
            failed = true;
            break;
        }
        uint32_t pass = TickCount() - t0;
        p.elapsed += pass;
        if (rate < 128 && pass < 1000) {
            Pause(1000 - pass);
            p.elapsed += 1000 - pass;
        }
        p.count += got;
        Report(pszRemoteFile, p, total);
    }
    // A download that started from the beginning replaces the whole local file: nothing of an
    // older, longer copy may remain beyond the new end.
    if (restart == 0) {
        const off_t here = lseek(fd, 0, SEEK_CUR);
        if (here >= 0 && ftruncate(fd, here) != 0) {
            SaveErrno();
            SetErrorFromSystem();
        }
    }
    const bool closedCleanly = remote->Close();
    r.count = p.count;
    r.ok = r.sizeKnown ? p.count == total : closedCleanly && !failed;
    return r;
}

bool CFTPClient::PutFile(const char* pszRemoteFile, const char* pszLocalFile) {
    FTP_REQUIRE(pszRemoteFile != NULL);
    FTP_REQUIRE(pszLocalFile != NULL);
    // The local file is opened first: a file that cannot be read must never replace a good
    // remote file with an empty one.
    LocalFile local(::open(pszLocalFile, O_RDONLY | O_CLOEXEC));
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
    auto remote = m_hConnect->OpenFile(pszRemoteFile, ftp::Access::Write);
    if (!remote) {
        SetErrorFromResponse();
        return false;
    }
    const uint64_t total = static_cast<uint64_t>(st.st_size);
    std::vector<char> buffer(kBufferSize);
    if (m_lpfnProgress != nullptr) {
        m_lpfnProgress(pszRemoteFile, 0, 0, m_dwUserData);
    }
    Progress p;
    while (p.count < total) {
        const uint32_t t0 = TickCount();
        const ssize_t n = ::read(local.Fd(), buffer.data(), buffer.size());
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;  // the file shrank while it was being sent
            }
            SaveErrno();
            SetErrorFromSystem();
            break;
        }
        std::size_t accepted = 0;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (remote->Write(buffer.data(), static_cast<std::size_t>(n), &accepted) ||
                accepted > 0) {
                break;
            }
            Pause(kRetryPauseMs);
        }
        if (accepted == 0) {
            SetErrorFromSystem();
            break;
        }
        p.elapsed += TickCount() - t0;
        p.count += accepted;
        Report(pszRemoteFile, p, total);
        if (accepted < static_cast<std::size_t>(n)) {
            SetErrorFromSystem();
            break;  // the data connection broke mid-block; the rest cannot follow
        }
    }
    local.Close();
    // The server has the last word: a store it did not complete (no space, aborted) failed.
    const bool stored = remote->Close();
    if (!stored && p.count == total) {
        SetErrorFromResponse();
    }
    return p.count == total && stored;
}
