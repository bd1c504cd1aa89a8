// Uploads: a local file stored, directly or under a .part name that is then renamed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "CFTPClient.h"
#include "FtpRequire.h"
#include "FtpWaitBudget.h"
#include "LocalFile.h"

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
            ftp::SetLastError(errno);
            SetErrorFromSystem();
            failed = true;
            break;
        }
        std::size_t accepted = 0;
        const ftp::WaitBudget budget(m_timeouts.writeMs);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (remote->Write(buffer.data(), static_cast<std::size_t>(n), &accepted,
                              budget.Remaining()) ||
                accepted > 0 || budget.Spent() || ftp::Cancelled()) {
                break;
            }
            Pause(budget);
        }
        NameConfiguredTimeout(ftp::waits::kWrite, m_timeouts.writeMs);
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
    // After a broken or stalled data connection the server's word is not worth another whole
    // timeout: the store ends within its timeout and this short wait.
    const bool confirmed = remote->Close(failed ? kBrokenReplyWaitMs : -1);
    if (!confirmed && ftp::LeadingCode(ftp::LastResponse()).value_or(0) >= 400) {
        SetErrorFromResponse();
    } else if (!confirmed && !hadReason) {
        SetErrorFromFailure();
    }
    return !failed && p.count == total && confirmed;
}
