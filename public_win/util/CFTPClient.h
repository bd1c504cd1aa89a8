#pragma once

#include <cstdint>
#include <memory>

#include "FtpSession.h"

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

    // Shorter waits than the defaults of about 60 s; takes effect at the next Connect.
    void SetTimeouts(const ftp::Timeouts& timeouts) { m_timeouts = timeouts; }

    char m_szServer[128];
    char m_szUser[128];
    char m_szPass[128];
    std::unique_ptr<ftp::Session> m_hInternet;
    std::unique_ptr<ftp::Connection> m_hConnect;
    bool m_bConnected;
    char m_szLastError[1024];
    FtpProgressCallBack m_lpfnProgress;
    uint32_t m_dwUserData;

    static constexpr std::size_t kBufferSize = 131072;
    static constexpr int kAttempts = 3;
    static constexpr uint32_t kRetryPauseMs = 1000;

private:
    struct Progress;
    // One retrieval into fd from offset restart: ok, the bytes the local file then holds, and
    // whether the remote size was known.
    struct Retrieval {
        bool ok = false;
        bool sizeKnown = false;
        uint64_t count = 0;
    };
    Retrieval Retrieve(const char* pszRemoteFile, int fd, int64_t restart, int nMaxRate);

    void SetErrorFromResponse();
    void SetErrorFromSystem();
    void SetErrorIfEmpty();
    // Keeps errno's text as the last error; false.
    bool FailWithSystemError();
    // False (with a last error) when no session is connected.
    bool RequireConnection();
    int64_t NegotiateRestart(int fd, int64_t localSize, const char* pszRemoteFile);
    bool ResumeAllowed(int fd, int64_t localSize, const char* pszRemoteFile);
    void Report(const char* pszRemoteFile, Progress& p, uint64_t total);

    ftp::Timeouts m_timeouts;
};
