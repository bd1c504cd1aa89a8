#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>

#include "FileStore.h"
#include "StoreSettings.h"

namespace korvane {

enum class Direction { Upload, Download };

// One transfer as the window asked for it; everything the worker needs, by value.
struct TransferRequest {
    StoreSettings settings;
    store::Timeouts timeouts;
    store::Clock* clock = &store::Clock::Real();  // paces and pauses the transfer
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
    std::atomic<bool> paused{false};  // stopped (or stopping) to be continued later
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
    bool kept = false;  // an upload's temporary file stays for a later upload to continue
    QString reason;     // the store's reason, or what the step found
    store::Fault fault = store::Fault::None;
    int code = 0;  // the backend's error number behind reason, for the trace
    // What the store's layer warned of on the way (a session left unencrypted), in order.
    QStringList warnings;
    // A download: where its verified file is (the local name, or a free name beside it where
    // that held another file), and whether an equal file was there and nothing was transferred.
    QString savedAs;
    bool alreadyThere = false;
    bool Succeeded() const { return reached == Step::Done; }
};

// Collects, while it lives, the warnings a store's layer raises on this thread (they are also
// logged): a transfer's steps run on a worker of their own, so these are that transfer's.
class StepWarnings {
public:
    StepWarnings();
    ~StepWarnings();
    StepWarnings(const StepWarnings&) = delete;
    StepWarnings& operator=(const StepWarnings&) = delete;
    QStringList Take();
    // A backend's warning hook: to the collector of the calling thread, if there is one.
    static void Raise(const QString& text);

private:
    StepWarnings* outer_;
    QStringList said_;
};

// Gives store the state's cancel flag and a progress that keeps the state's counts.
void PrepareStore(store::FileStore& store, TransferState& state);
// Takes the result of one step: on success outcome.reached becomes next; on failure outcome
// keeps the step that failed, with the store's reason and whether a cancel ended it.
bool Advance(const store::Result& result, TransferState& state, TransferOutcome& outcome,
             TransferOutcome::Step next);
// Logs in and enters the folder.
bool OpenSession(store::FileStore& store, TransferState& state, TransferOutcome& outcome);

// What the operator is told after a transfer that did not succeed: the step's message and the
// reason on a line of its own; a cancel says what it left behind.
QString OutcomeMessage(const TransferRequest& request, const TransferOutcome& outcome);

}  // namespace korvane
