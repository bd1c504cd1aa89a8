#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>

#include "StoreWorker.h"
#include "Transfer.h"

namespace korvane {

// The database's part in an upload, on the GUI thread. A text result is empty on success, else
// the message for the operator. The upload's name is claimed before the job starts.
class UploadRegistrar {
public:
    virtual ~UploadRegistrar() = default;
    // A sign of life of the claim while the bytes go out.
    virtual void KeepAlive() {}
    // Begins a transaction, registers the stored file and records what it is.
    virtual QString Register(const store::StoredCopy& copy) = 0;
    virtual QString Commit() = 0;
    virtual void Rollback() = 0;
    // Gives the claim up; called once at every end.
    virtual void Release() = 0;
};

// What a download must turn out to be: the registration's record of the file.
struct ExpectedFile {
    uint64_t size = 0;
    QString sha256;
};

// Makes the store session of one transfer.
using StoreFactory = std::function<std::unique_ptr<store::FileStore>(const TransferRequest&)>;
// The site's store as the request's settings name it.
std::unique_ptr<store::FileStore> SiteStore(const TransferRequest& request);

// One transfer as a job: Start returns at once, the store's work runs on a worker of the job's
// own, the database steps of an upload run on the GUI thread between its network steps, and
// finished() arrives when everything, clean-up included, is over.
//
// An upload stores under a temporary name, registers, renames the file into place and commits;
// whatever fails before the rename rolls the registration back and removes the temporary file,
// so the server keeps the file it had. Stored directly (korvane_ftp_upload=direct) it
// registers after the store. A download with an expected file compares the local copy with it.
class TransferJob : public QObject {
    Q_OBJECT
public:
    static constexpr int kKeepAliveMs = 10000;

    explicit TransferJob(TransferRequest request, const StoreFactory& factory = SiteStore,
                         QObject* parent = nullptr);
    // A running job is aborted: its network waits end within about 100 ms; no clean-up runs.
    ~TransferJob() override;

    // Uploads: the registration; null registers nothing.
    void SetRegistrar(std::unique_ptr<UploadRegistrar> registrar);
    // Downloads: what the file must be; unset checks nothing.
    void SetExpected(std::optional<ExpectedFile> expected) { expected_ = std::move(expected); }

    void Start();
    // Asks the transfer to stop; the job still cleans up before it finishes.
    void Cancel();
    bool Running() const { return running_; }

    const TransferRequest& Request() const { return request_; }
    const TransferOutcome& Outcome() const { return outcome_; }
    const std::shared_ptr<TransferState>& State() const { return state_; }
    // MonotonicMs() when it started.
    int64_t StartedMs() const { return startedMs_; }
    // The name an upload is stored under until it is put in place.
    const QString& StoredName() const { return stored_; }
    // A download that differed from its record was kept under this path.
    const QString& KeptAs() const { return keptAs_; }

signals:
    void finished();

private:
    void StartUpload();
    void StartDownload();
    void Stored(const TransferOutcome& outcome, const store::StoredCopy& copy);
    void Published(const TransferOutcome& outcome);
    void Downloaded(const TransferOutcome& outcome, const QString& sha256, uint64_t size);
    // Removes the temporary file (reconnecting once where the session broke), then finishes.
    void CleanUp();
    void Finish();
    // Runs step on the worker and then, on this object's thread, then(result).
    template <class Result>
    void Run(std::function<Result(store::FileStore&)> step,
             std::function<void(const Result&)> then);

    TransferRequest request_;
    std::shared_ptr<TransferState> state_;
    std::unique_ptr<UploadRegistrar> registrar_;
    std::optional<ExpectedFile> expected_;
    TransferOutcome outcome_;
    QString stored_;
    QString keptAs_;
    QStringList warnings_;  // what the store's layer warned of so far
    bool running_ = false;
    int64_t startedMs_ = 0;
    QTimer keepAlive_;
    std::atomic<bool> abort_{false};  // ends every wait, clean-up included
    StoreWorker worker_;              // last: awaited before the members its steps use go
};

}  // namespace korvane
