#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FtpClock.h"
#include "FtpOptions.h"
#include "FtpStatus.h"
#include "StoreBasics.h"

namespace ftp {
class Session;
class Connection;
class FileTransfer;
class Pacer;
class Sha256;
class WaitBudget;
struct RemoteVersion;
}  // namespace ftp

// Progress of a transfer: the remote name as passed, percent done, average KiB/s, user data.
typedef void (*FtpProgressCallBack)(const char* pszRemoteFile, int32_t nPercent, uint32_t dwSpeed,
                                    uint32_t dwUserData);

// A synchronous FTP client for one session: connect and log in, change directory, download a
// file (resuming a partial local copy) or upload one. Operations report success as a boolean;
// after false, m_szLastError says why. Every network wait ends after its timeout.
class CFTPClient {
public:
    CFTPClient();
    ~CFTPClient();
    CFTPClient(const CFTPClient&) = delete;
    CFTPClient& operator=(const CFTPClient&) = delete;

    bool Connect(const char* pszServer, const char* pszUser, const char* pszPass);
    bool SetCurrentDirectory(const char* pszRemotePath);
    // nMaxRate: KiB per second, -1 (or anything below 1) for no limit; above 128 counts as 128.
    bool GetFile(const char* pszRemoteFile, const char* pszLocalFile, int nMaxRate);
    bool PutFile(const char* pszRemoteFile, const char* pszLocalFile);
    void Disconnect();

    // The steps of an upload that publishes only what was stored whole ---------------------
    // What StoreAs put on the server.
    struct StoredCopy {
        uint64_t size = 0;
        std::string sha256;        // of the whole local file, 64 hex digits
        uint64_t resumedFrom = 0;  // where the store continued the remote file; 0: from the start
    };
    // Stores the local file under exactly pszRemoteFile, hashing the bytes as they go out, and
    // compares the stored size where the server answers SIZE. from: the bytes of the local file
    // that the remote file holds already. They are kept where the kOverlap bytes before from are
    // the local file's and the server continues a store (REST from + STOR, else APPE); else the
    // store starts again from the beginning. The digest covers the whole local file either way.
    bool StoreAs(const char* pszRemoteFile, const char* pszLocalFile, StoredCopy* copy,
                 uint64_t from = 0);
    // Renames pszFrom to pszTo. Where the server does not rename over an existing file, the old
    // one is moved aside first and moved back when the new one cannot take its place: the file
    // under pszTo is never deleted before its successor is there.
    bool Publish(const char* pszFrom, const char* pszTo);
    // RNFR and RNTO, nothing else; false with the reason as the last error.
    bool Rename(const char* pszFrom, const char* pszTo);
    // DELE; false with the server's reply as the last error.
    bool RemoveFile(const char* pszRemoteFile);
    // Whether the connection still answers (NOOP within the reply timeout).
    bool Alive();

    // Shorter waits than the defaults of about 60 s; takes effect at the next Connect.
    void SetTimeouts(const ftp::Timeouts& timeouts) { m_timeouts = timeouts; }

    using Options = ftp::ClientOptions;
    void SetOptions(const Options& options) { m_options = options; }
    // The tick count and sleep of the pacing and the retry pauses (tests advance it by hand).
    void SetClock(ftp::Clock* clock) { m_clock = clock; }
    // Set from any thread, *flag ends the running operation within about 100 ms, with the last
    // error "操作已取消" (translated); the bytes that arrived stay, and the next download resumes
    // from them.
    void SetCancelFlag(const std::atomic<bool>* flag);
    // A finer view of a transfer than m_lpfnProgress: after every block, on the transferring
    // thread, the bytes done (counting those present before a resume), the total (0: unknown)
    // and the offset the transfer started from.
    using Observer = std::function<void(uint64_t done, uint64_t total, uint64_t from)>;
    void SetObserver(Observer observer) { m_observer = std::move(observer); }

    char m_szServer[128];
    char m_szUser[128];
    char m_szPass[128];
    std::unique_ptr<ftp::Session> m_hInternet;
    std::unique_ptr<ftp::Connection> m_hConnect;
    bool m_bConnected;
    static constexpr std::size_t kLastErrorSize = 1024;
    char m_szLastError[kLastErrorSize];
    // The layer's error number (errno or ftp::kErr...) behind m_szLastError, which tells the
    // kinds of failure apart (refused, unreachable, TLS, timeout, credentials).
    int m_nLastErrorCode;
    FtpProgressCallBack m_lpfnProgress;
    uint32_t m_dwUserData;

    static constexpr std::size_t kBufferSize = 131072;
    // An upload reads and sends blocks of this size, up to kUploadBlocksAhead blocks ahead of
    // the thread that digests what was sent.
    static constexpr std::size_t kUploadBlockSize = 262144;
    static constexpr std::size_t kUploadBlocksAhead = 8;
    // The block of an upload after a block that took longer than kSlowBlockMs: a slow server
    // then takes it in pieces small enough for the observer to hear of progress often.
    static constexpr std::size_t kSlowBlockSize = 16384;
    static constexpr uint32_t kSlowBlockMs = 200;
    static constexpr int kAttempts = 3;
    // A resume first receives this much of what the local copy holds again and compares it.
    static constexpr uint64_t kOverlap = korvane::store::kResumeOverlap;
    // How long the end of a transfer whose data connection broke or stalled may take, the
    // server's final reply included.
    static constexpr int kBrokenReplyWaitMs = ftp::kLastWordMs;
    static constexpr uint32_t kRetryPauseMs = 1000;

    // --- Files on the server, for checking what was registered (CFTPClientFiles.cpp) -----------
    // The names in the current directory (NLST), in UTF-8; a listed name with a folder part
    // ("sub/x") names no file of this directory and is left out.
    bool ListNames(std::vector<std::string>* names);
    // SIZE and MDTM of a remote file; nullopt when the server does not tell (or no such file).
    std::optional<uint64_t> RemoteSize(const char* pszRemoteFile);
    std::optional<std::time_t> RemoteTime(const char* pszRemoteFile);
    // (RemoveFile, above, removes one.)
    // Retrieves a remote file into sink, block by block as it arrives, without a local copy;
    // *size: the bytes received. False when the transfer fails or is short, or sink says stop.
    using Sink = std::function<bool(const char* data, std::size_t n)>;
    bool ReadRemote(const char* pszRemoteFile, const Sink& sink, uint64_t* size);
    // The SHA-256 of a remote file (64 lower-case hex digits) and its size, streamed.
    bool RemoteSha256(const char* pszRemoteFile, std::string* hex, uint64_t* size);
    // ---------------------------------------------------------------------------------------------

private:
    struct Progress {
        uint64_t count = 0;    // R or N
        uint32_t elapsed = 0;  // E: time spent in passes, ms
        uint32_t lastReport = 0;
        uint64_t from = 0;  // where a resumed store started
    };
    // One retrieval into fd from offset restart: ok, the bytes the local file then holds,
    // whether the remote size was known, and whether the first `verify` bytes differed from
    // what the local file held there (then nothing was written).
    struct Retrieval {
        bool ok = false;
        bool sizeKnown = false;
        bool mismatch = false;
        uint64_t count = 0;
    };
    Retrieval Retrieve(const char* pszRemoteFile, int fd, int64_t restart, uint64_t verify,
                       std::optional<uint64_t> knownSize, int nMaxRate);
    // One pass of a retrieval: at most the pacer's chunk read, checked against the local copy
    // up to verifiedEnd, and written at the file's position.
    struct Pass {
        bool sizeKnown = false;
        uint64_t total = 0;  // the size the server announced: where the data should not end
        uint64_t at = 0;     // bytes the local file holds before the pass
        uint64_t verifiedEnd = 0;
        std::size_t got = 0;  // what the pass wrote
        // Whether the end of the data here would come before the announced size.
        bool ExpectsMore() const { return sizeKnown && at < total; }
    };
    enum class PassEnd { More, Done, Failed, Mismatch };
    PassEnd RetrievePass(ftp::FileTransfer& remote, ftp::Pacer& pacer, std::vector<char>& buffer,
                         int fd, Pass& pass);
    // Reads into buffer with up to kAttempts attempts sharing one read timeout; fill: until n
    // bytes (the paced rate), else what arrives first. expectMore: the end of the data would
    // come too early, and is tried again.
    bool ReadWithRetries(ftp::FileTransfer& remote, char* buffer, std::size_t n, bool expectMore,
                         bool fill, std::size_t* got);
    // Writes a block with up to kAttempts attempts sharing one write timeout: the bytes taken.
    std::size_t WriteWithRetries(ftp::FileTransfer& remote, const char* data, std::size_t n);
    // Sends fd to its end; *sent: the size it reported before, then the bytes sent. *from: where
    // the remote file is continued, set to 0 when the server continues none (fd and digest then
    // start again).
    bool Store(const char* pszRemoteFile, int fd, uint64_t* sent, uint64_t* from,
               ftp::Sha256& digest);
    // from, when the kOverlap bytes before it in the remote file are fd's there; else 0.
    uint64_t ConfirmedResume(const char* pszRemoteFile, int fd, uint64_t from);
    // The data connection of a store that continues the remote file at *from where the server
    // lets it (REST + STOR, else APPE), else (*from set to 0) of one from the start.
    std::unique_ptr<ftp::FileTransfer> OpenStore(const char* pszRemoteFile, uint64_t* from);
    // Reads fd block by block and sends each, digesting what was sent; false (with the last
    // error) when reading or sending failed.
    bool SendBlocks(const char* pszRemoteFile, ftp::FileTransfer& remote, int fd, uint64_t total,
                    ftp::Sha256& digest, Progress& p);
    // The offset a download continues from (0: from the start), after the checks that keep a
    // foreign copy from being continued, and the bytes before it that the data must confirm.
    int64_t PlanRestart(int fd, int64_t localSize, const ftp::RemoteVersion& remote,
                        uint64_t* verify);
    // What the engine learned last: the connection's failure and reply, else those of the
    // failed Connect.
    const ftp::Status& EngineFailure() const;
    const std::string& EngineResponse() const;
    // Restates the engine's failure (a whole wait's timeout, a reason of the client's own).
    void SetEngineFailure(ftp::Status failure);
    // Whether the operator asked to cancel.
    bool CancelRequested() const;
    // Whether the operator cancelled; then the engine's failure says so.
    bool StopIfCancelled();

    // The error is text, with the engine's error number behind it.
    void SetErrorText(const std::string& text);
    // The error is status's: the layer's words, else the system's text for its number.
    void SetError(const ftp::Status& status);
    void SetErrorFromFailure();

    void SetErrorFromResponse();
    void SetErrorFromSystem();
    // After a step: its reply when it succeeded, else why it failed (SetErrorFromFailure).
    void SetErrorFromStep(bool succeeded);
    // Whether the last step failed because the server said no (its reply says why), rather
    // than because no answer came (a timeout, a lost connection).
    bool ServerRefused() const;
    // Why the last step failed: the server's refusal, else the layer's words for the failure.
    std::string FailureReason() const;
    // The server's last reply as the error, else the system's.
    void SetErrorFromResponseOrSystem();
    // Keeps errno's text as the last error; false.
    bool FailWithSystemError();
    // False (with a last error) when no session is connected.
    bool RequireConnection();
    void Report(const char* pszRemoteFile, Progress& p, uint64_t total, uint64_t from);
    // The retry pause, cut short by a cancel and by the end of the budget its retries share.
    void Pause(const ftp::WaitBudget& budget);
    // A timeout after retries that shared one names the configured wait, not what was left.
    void NameConfiguredTimeout(const char* what, int timeoutMs);

    ftp::Timeouts m_timeouts;
    Options m_options;
    ftp::Clock* m_clock;
    const std::atomic<bool>* m_cancel = nullptr;
    ftp::Status m_connectFailure;  // why the last Connect failed
    std::string m_connectResponse;
    Observer m_observer;
    std::string m_directory;  // the remote directory of the last successful change
};
