#include "CFTPClient.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "FtpRequire.h"
#include "FtpSession.h"
#include "FtpWaitBudget.h"
#include "Utf8Boundary.h"

namespace {

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

CFTPClient::CFTPClient()
    : m_hInternet(),
      m_hConnect(),
      m_bConnected(false),
      m_nLastErrorCode(0),
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

const ftp::Status& CFTPClient::EngineFailure() const {
    return m_hConnect ? m_hConnect->Failure() : m_connectFailure;
}

const std::string& CFTPClient::EngineResponse() const {
    return m_hConnect ? m_hConnect->LastResponse() : m_connectResponse;
}

void CFTPClient::SetEngineFailure(ftp::Status failure) {
    if (m_hConnect) {
        m_hConnect->SetFailure(std::move(failure));
    } else {
        m_connectFailure = std::move(failure);
    }
}

bool CFTPClient::CancelRequested() const {
    return m_cancel != nullptr && m_cancel->load(std::memory_order_relaxed);
}

bool CFTPClient::StopIfCancelled() {
    if (!CancelRequested()) {
        return false;
    }
    SetEngineFailure(ftp::Status::Cancelled());
    return true;
}

void CFTPClient::SetCancelFlag(const std::atomic<bool>* flag) {
    m_cancel = flag;
    if (m_hConnect) {
        m_hConnect->SetCancel(flag);
    }
}

void CFTPClient::SetErrorFromResponse() {
    const std::string& response = EngineResponse();
    // A preliminary reply ("150 Opening BINARY mode...") only said that a transfer began: it is
    // never the reason why one failed.
    SetErrorText(ftp::LeadingCode(response).value_or(0) / 100 == 1 ? std::string() : response);
}

void CFTPClient::SetErrorText(const std::string& text) {
    CopyCut(m_szLastError, sizeof m_szLastError, text.data(), text.size());
    m_nLastErrorCode = EngineFailure().code;
}

namespace {
// The words of a status: the layer's own, else the system's text for its number.
std::string TextOf(const ftp::Status& status) {
    if (status.code >= ftp::kOwnErrorBase) {
        // The layer's own errors have no system text; a timeout says of what and how long.
        return status.text.empty() ? ftp::OwnErrorText(status.code) : status.text;
    }
    return status.code > 0 ? std::string(std::strerror(status.code)) : std::string();
}
}  // namespace

void CFTPClient::SetError(const ftp::Status& status) {
    const std::string text = TextOf(status);
    CopyCut(m_szLastError, sizeof m_szLastError, text.data(), text.size());
    m_nLastErrorCode = status.code;
}

bool CFTPClient::ServerRefused() const {
    return EngineFailure().code == ftp::kErrCommandFailed;
}

std::string CFTPClient::FailureReason() const {
    const std::string own = TextOf(EngineFailure());
    return ServerRefused() || own.empty() ? EngineResponse() : own;
}

void CFTPClient::SetErrorFromSystem() {
    SetError(EngineFailure());
}

// The reason of a failed network step: what the layer knows of it (a timeout, a broken
// connection, the system's error), else the server's reply; a step that failed without either
// lost its connection.
void CFTPClient::SetErrorFromFailure() {
    const ftp::Status& failure = EngineFailure();
    const int code = failure.code;
    if (!failure.text.empty() || (code > 0 && code < ftp::kOwnErrorBase) ||
        !ftp::OwnErrorText(code).empty()) {
        SetErrorFromSystem();
        return;
    }
    SetErrorFromResponseOrSystem();
    if (m_szLastError[0] == '\0') {
        SetEngineFailure(ftp::Status::Of(ftp::kErrConnectionAborted));
        SetErrorFromSystem();
    }
}

bool CFTPClient::FailWithSystemError() {
    SetError(ftp::Status::Of(errno));
    return false;
}

bool CFTPClient::RequireConnection() {
    if (m_hConnect) {
        return true;
    }
    m_connectFailure = ftp::Status::Of(ftp::kErrCannotConnect);
    SetErrorFromResponseOrSystem();
    return false;
}

void CFTPClient::SetErrorFromStep(bool succeeded) {
    if (succeeded) {
        SetErrorFromResponse();
    } else {
        SetErrorFromFailure();
    }
}

void CFTPClient::SetErrorFromResponseOrSystem() {
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
    m_hInternet->SetDataMode(m_options.mode);
    m_hInternet->SetEncoding(m_options.encoding);
    m_hInternet->SetTls(m_options.tls);
    m_hInternet->SetMemory(m_options.stateFolder.empty()
                               ? nullptr
                               : std::make_shared<ftp::ServerMemory>(m_options.stateFolder));
    ftp::Connected connected = m_hInternet->Connect(pszServer, pszUser, pszPass, m_cancel);
    m_hConnect = std::move(connected.connection);
    m_connectFailure = std::move(connected.failure);
    m_connectResponse = std::move(connected.response);
    if (!m_hConnect) {
        SetErrorFromSystem();
        if (m_szLastError[0] == '\0') {
            SetErrorFromResponse();
        }
        if (m_szLastError[0] == '\0') {
            SetErrorText(ftp::Arg(ftp::Tr("ftp", "未知错误![%1]主机不可达，请检查IP地址是否正确。"),
                                  {pszServer}));
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
    if (!m_hConnect) {
        return RequireConnection();
    }
    if (!m_hConnect->SetCurrentDirectory(pszRemotePath)) {
        SetErrorFromFailure();
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

void CFTPClient::Pause(const ftp::WaitBudget& budget) {
    const auto pause = std::min<uint32_t>(kRetryPauseMs, static_cast<uint32_t>(budget.Left()));
    for (uint32_t slept = 0; slept < pause && !StopIfCancelled();) {
        const uint32_t step = std::min<uint32_t>(ftp::kCancelPollMs, pause - slept);
        m_clock->Sleep(step);
        slept += step;
    }
}

void CFTPClient::NameConfiguredTimeout(const char* what, int timeoutMs) {
    if (EngineFailure().code == ftp::kErrTimeout) {
        SetEngineFailure(ftp::Status::Timeout(what, timeoutMs));
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
