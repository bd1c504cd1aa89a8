#pragma once

#include <libssh/libssh.h>

#include <QString>
#include <atomic>

#include "FileStore.h"
#include "SftpOptions.h"

namespace korvane::sftp {

// A bound in time for one wait, and the cancel flag that every slice of it looks at.
class Deadline {
public:
    Deadline(store::Clock& clock, int timeoutMs, const std::atomic<bool>* cancel);
    bool Cancelled() const { return cancel_ != nullptr && cancel_->load(); }
    bool Expired() const { return Elapsed() >= static_cast<uint32_t>(timeoutMs_); }
    // The next poll's slice: short enough to notice a cancel within about 100 ms.
    int SliceMs() const;
    int TimeoutMs() const { return timeoutMs_; }
    // Starts the same bound again, after progress.
    void Restart() { start_ = clock_->Ticks(); }

private:
    uint32_t Elapsed() const { return clock_->Ticks() - start_; }

    store::Clock* clock_;
    int timeoutMs_;
    uint32_t start_;
    const std::atomic<bool>* cancel_;
};

constexpr int kCancelSliceMs = 100;

store::Result Cancelled();
// "<what> timed out (N s)".
store::Result TimedOut(const QString& what, int timeoutMs);

// One SSH connection and its "sftp" subsystem channel, driven by libssh in non-blocking mode
// so that every wait has a bound and ends on a cancel.
class SshLink {
public:
    SshLink() = default;
    ~SshLink();
    SshLink(const SshLink&) = delete;
    SshLink& operator=(const SshLink&) = delete;

    // Connects, checks the host key before anything else is sent, authenticates and opens the
    // channel.
    store::Result Open(const store::Endpoint& endpoint, const SftpOptions& options,
                       const store::Timeouts& timeouts, store::Clock& clock,
                       const std::atomic<bool>* cancel);
    void Close();
    bool IsOpen() const { return channel_ != nullptr; }

    ssh_session Session() const { return session_; }
    ssh_channel Channel() const { return channel_; }
    // Waits until the socket has something to read, or room where libssh has bytes to send.
    void WaitForSocket(int ms) const;
    // The libssh error in words, for a broken connection.
    QString Error() const;

private:
    store::Result Connect(const store::Endpoint& endpoint, const SftpOptions& options,
                          const store::Timeouts& timeouts, const std::atomic<bool>* cancel);
    store::Result CheckHostKey(const SftpOptions& options);
    // The agent and the key file, then the password (also to keyboard-interactive prompts).
    store::Result Authenticate(const store::Endpoint& endpoint, const SftpOptions& options,
                               int timeoutMs, const std::atomic<bool>* cancel);
    store::Result AuthenticateByKey(const store::Endpoint& endpoint, const SftpOptions& options,
                                    const Deadline& deadline, bool* done);
    store::Result AuthenticateByPassword(const store::Endpoint& endpoint, unsigned methods,
                                         const Deadline& deadline, bool* done);
    store::Result AnswerPrompts(const QByteArray& password, const Deadline& deadline, bool* done);
    store::Result OpenChannel(int timeoutMs, const std::atomic<bool>* cancel);
    // Repeats call while libssh answers again (SSH_AGAIN, SSH_AUTH_AGAIN), waiting on the
    // socket between the calls; *rc receives the last answer.
    template <typename Call>
    store::Result Drive(Call call, int again, int* rc, const Deadline& deadline,
                        const QString& what);

    ssh_session session_ = nullptr;
    ssh_channel channel_ = nullptr;
    QString server_;  // as the endpoint names it, for the messages
    store::Clock* clock_ = &store::Clock::Real();
};

}  // namespace korvane::sftp
