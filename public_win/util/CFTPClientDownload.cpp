// Downloads: the restart plan, the retries of a read, the paced retrieval.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "CFTPClient.h"
#include "FtpPacer.h"
#include "FtpRequire.h"
#include "FtpSession.h"
#include "FtpWaitBudget.h"
#include "LocalFile.h"
#include "ResumeRecord.h"

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
    bool created = false;
    ftp::LocalFile local(ftp::OpenDownloadTarget(pszLocalFile, &created));
    if (!local.Valid() && errno == EPERM) {
        SetErrorText(ftp::Arg(
            ftp::Tr("ftp",
                    "[%1]已存在，但不是本人的普通文件（可能是他人放置的链接或管道），不能写入"),
            {pszLocalFile}));
        return false;
    }
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
    if (r.ok && created) {
        ftp::MakeDownloadPublic(local.Fd());
    }
    if (!r.ok && created && r.count == 0) {
        // Nothing arrived: leave no empty file that was not there before.
        ::unlink(pszLocalFile);
    }
    return r.ok;
}

bool CFTPClient::ReadWithRetries(ftp::FileTransfer& remote, char* buffer, std::size_t n,
                                 bool expectMore, bool fill, std::size_t* got) {
    // The attempts and the pauses between them share one read timeout: a stalled server costs
    // one timeout.
    const ftp::WaitBudget budget(m_timeouts.readMs);
    bool ok = false;
    *got = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ok = remote.Read(buffer, n, got, budget.Remaining(), fill);
        if ((ok && *got > 0) || (!expectMore && ok)) {
            break;  // the end of the data is the end of the file
        }
        if (budget.Spent() || StopIfCancelled()) {
            break;
        }
        Pause(budget);
    }
    NameConfiguredTimeout(ftp::waits::kRead, m_timeouts.readMs);
    return ok;
}

CFTPClient::PassEnd CFTPClient::RetrievePass(ftp::FileTransfer& remote, ftp::Pacer& pacer,
                                             std::vector<char>& buffer, int fd, Pass& pass) {
    if (EngineFailure().code == ftp::kErrTimeout) {
        // The last pass ended waiting after some data: the read timeout is spent already.
        SetErrorFromSystem();
        return PassEnd::Failed;
    }
    // The size is the server's forecast, not where the data stop: past it the pass reads on to
    // the end of the data, which is the end of the file.
    const bool expectMore = pass.ExpectsMore();
    const std::size_t chunk = pacer.Chunk(pass.total - pass.at, expectMore);
    std::size_t got = 0;
    const bool ok =
        ReadWithRetries(remote, buffer.data(), chunk, expectMore, pacer.Limited(), &got);
    if (got == 0) {
        const bool failed = expectMore || !ok;
        if (ok && expectMore) {
            // The data ended before the file did: the connection broke.
            SetEngineFailure(ftp::Status::Own(
                ftp::kErrConnectionAborted,
                ftp::Arg(ftp::Tr("ftp", "数据连接提前结束：已收到%1字节，文件共%2字节"),
                         {std::to_string(pass.at), std::to_string(pass.total)})));
        }
        if (failed) {
            SetErrorFromFailure();
        }
        return failed ? PassEnd::Failed : PassEnd::Done;
    }
    if (pass.at < pass.verifiedEnd) {
        const auto n =
            static_cast<std::size_t>(std::min<uint64_t>(got, pass.verifiedEnd - pass.at));
        if (!ftp::SameBytesAt(fd, static_cast<int64_t>(pass.at), buffer.data(), n)) {
            return PassEnd::Mismatch;
        }
    }
    if (!ftp::WriteAll(fd, buffer.data(), got)) {
        SetError(ftp::Status::Of(errno));
        return PassEnd::Failed;
    }
    pass.got = got;
    return PassEnd::More;
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
    ftp::Pacer pacer(*m_clock, nMaxRate);
    std::vector<char> buffer(kBufferSize);
    Pass pass;
    pass.sizeKnown = r.sizeKnown = remote->Size().has_value();
    pass.total = remote->Size().value_or(0);
    if (m_lpfnProgress != nullptr) {
        m_lpfnProgress(pszRemoteFile, 0, 0, m_dwUserData);
    }
    Progress p;
    p.count = static_cast<uint64_t>(restart);
    pass.verifiedEnd = p.count + verify;
    if (m_observer) {
        m_observer(p.count, pass.total, p.count);
    }
    bool failed = false;
    SetEngineFailure(ftp::Status());
    for (;;) {
        pacer.StartPass();
        pass.at = p.count;
        const PassEnd end = RetrievePass(*remote, pacer, buffer, fd, pass);
        failed = end == PassEnd::Failed;
        r.mismatch = end == PassEnd::Mismatch;
        if (end != PassEnd::More) {
            break;
        }
        p.elapsed += pacer.EndPass();
        p.count += pass.got;
        Report(pszRemoteFile, p, pass.sizeKnown ? std::max(pass.total, p.count) : 0,
               static_cast<uint64_t>(restart));
    }
    // A download that started from the beginning replaces the whole local file: nothing of an
    // older, longer copy may remain beyond the new end.
    if (restart == 0 && !r.mismatch) {
        const off_t here = lseek(fd, 0, SEEK_CUR);
        if (here >= 0 && ftruncate(fd, here) != 0) {
            SetError(ftp::Status::Of(errno));
        }
    }
    // The server has the last word: a retrieval it aborted (426) failed, however much came.
    // After a broken data connection its word is not worth another whole timeout.
    const bool closedCleanly = remote->Close(failed ? kBrokenReplyWaitMs : -1);
    if (!closedCleanly && !failed && !r.mismatch) {
        SetErrorFromFailure();  // the server's refusal (426), or no final reply in time
    }
    r.count = p.count;
    r.ok = !r.mismatch && closedCleanly && !failed;
    return r;
}
