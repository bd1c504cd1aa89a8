#pragma once

#include <QString>
#include <atomic>
#include <cstdint>

#include "FtpSettings.h"

class CFTPClient;

namespace korvane {

enum class Direction { Upload, Download };

// One transfer as the window asked for it; everything the worker needs, by value.
struct TransferRequest {
    FtpSettings settings;
    ftp::Timeouts timeouts;
    ftp::Clock* clock = &ftp::Clock::Real();  // paces and pauses the transfer
    Direction direction = Direction::Upload;
    QString remote;  // the name on the server
    QString local;   // the local path
};

// Shared by the worker that runs a transfer and the window that watches it.
struct TransferState {
    std::atomic<uint64_t> done{0};
    std::atomic<uint64_t> total{0};          // 0: not known
    std::atomic<uint64_t> from{0};           // where a resumed download started
    std::atomic<int64_t> lastActivityMs{0};  // MonotonicMs() of the last byte or step
    std::atomic<bool> cancel{false};
};

// Milliseconds of a monotonic clock.
int64_t MonotonicMs();

struct TransferOutcome {
    // Login, Directory and Transfer are every transfer's; an upload then registers (Register),
    // puts its file in place (Publish) and commits the registration (Commit); a download is
    // checked against what was registered (Verify).
    enum class Step { Login, Directory, Transfer, Verify, Register, Publish, Commit, Done };
    Step reached = Step::Login;  // the step that failed, or Done
    bool cancelled = false;
    QString reason;  // the client's last error, or what the step found
    int code = 0;    // the client's error number behind reason (errno or ftp::kErr...)
    bool Succeeded() const { return reached == Step::Done; }
};

// Gives client the request's timeouts, clock and options, the state's cancel flag and an
// observer that keeps the state's progress.
void PrepareClient(CFTPClient& client, const TransferRequest& request, TransferState& state,
                   const std::atomic<bool>* cancel);
// Runs one step of client: on success outcome.reached becomes next; on failure outcome keeps
// the step that failed, with the client's reason and whether a cancel ended it.
bool Advance(CFTPClient& client, TransferState& state, TransferOutcome& outcome,
             TransferOutcome::Step next, bool ok);
// Logs in and changes to the remote directory.
bool OpenSession(CFTPClient& client, const TransferRequest& request, TransferState& state,
                 TransferOutcome& outcome);

// What the operator is told after a transfer that did not succeed: the step's message and the
// reason on a line of its own; a cancel says what it left behind.
QString OutcomeMessage(const TransferRequest& request, const TransferOutcome& outcome);

}  // namespace korvane
