#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>

#include "IntentLog.h"
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
    // Gives the claim up; called once at every end.
    virtual void Release() = 0;
    // Once settled: the version the upload became (0: not known) and whether it replaced a
    // registered content.
    virtual int Version() const { return 0; }
    virtual bool Replaced() const { return false; }

    // Without a journal: begins a transaction, registers the stored file and records what it
    // is; then Commit or Rollback.
    virtual QString Register(const store::StoredCopy& copy) = 0;
    virtual QString Commit() = 0;
    virtual void Rollback() = 0;

    // With a journal, every side effect on the store is announced first and settled after.
    virtual bool Journaled() { return false; }
    // The open intents of the name: those an upload that died left (once the claim is ours), or
    // only this upload's own.
    virtual QList<db::Intent> Intents(bool ownOnly) {
        Q_UNUSED(ownOnly);
        return {};
    }
    // Clears intents whose objects the store no longer holds.
    virtual void Settled(const QStringList& tokens) { Q_UNUSED(tokens); }
    // Before the intents of the name are settled: the temporary file of the newest upload of
    // the name that this operator left on this host, held for a resume, of a local file of
    // localSize bytes; it is this upload's own from then on. Empty when there is none.
    virtual QString Resumable(uint64_t localSize) {
        Q_UNUSED(localSize);
        return {};
    }
    // The upload stopped while sending: its temporary file is kept for a later upload of the
    // local file of localSize bytes to continue, instead of being removed. False when the
    // journal cannot say so (the file is then removed as ever).
    virtual bool Hold(uint64_t localSize) {
        Q_UNUSED(localSize);
        return false;
    }
    // Before the first byte: the temporary name the upload is stored under.
    virtual QString Announce(const QString& temporary) {
        Q_UNUSED(temporary);
        return {};
    }
    // Once stored: what was stored, and whether the name holds a file that must step aside; the
    // name it steps aside to comes back in *aside.
    virtual QString Plan(const store::StoredCopy& copy, bool nameTaken, QString* aside) {
        Q_UNUSED(copy);
        Q_UNUSED(nameTaken);
        Q_UNUSED(aside);
        return {};
    }
    // Once in place: one transaction registers the file, records its versions and turns the
    // intent into the removal of what nothing refers to any more.
    virtual QString Settle(const store::StoredCopy& copy) {
        Q_UNUSED(copy);
        return {};
    }
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
// registers after the store. A download writes into "<local>.part" and puts it under the local
// name once it matches the expected file (see LocalCopy.h); an equal file there already is
// the download, and nothing is transferred.
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
    // Downloads: the operator's word that the file under the local name may be replaced.
    void SetReplace(bool replace) { replace_ = replace; }

    void Start();
    // Asks the transfer to stop; the job still cleans up before it finishes. An upload that
    // stopped while sending keeps what arrived for a later upload of the file to continue,
    // where its journal can say so.
    void Cancel();
    bool Running() const { return running_; }
    // Stops the sending or receiving where it is (its data connection closes) and keeps what
    // arrived, the claim and the session: false when the job is not transferring bytes now.
    // pausedChanged(true) follows once it stopped.
    bool Pause();
    // Continues a paused job from what the other end holds: false when it is not paused.
    bool Resume();
    bool Paused() const { return paused_; }

    const TransferRequest& Request() const { return request_; }
    const TransferOutcome& Outcome() const { return outcome_; }
    const std::shared_ptr<TransferState>& State() const { return state_; }
    // MonotonicMs() when it started.
    int64_t StartedMs() const { return startedMs_; }
    // The name an upload is stored under until it is put in place.
    const QString& StoredName() const { return stored_; }
    // A download that differed from its record was kept under this path.
    const QString& KeptAs() const { return keptAs_; }
    // The upload's registration, when it has one.
    const UploadRegistrar* Registrar() const { return registrar_.get(); }

signals:
    void finished();
    void pausedChanged(bool paused);

private:
    // How a transfer step finds its session: it opens it, finds it open, or (after a pause)
    // opens it again where it no longer answers.
    enum class Session { Open, Ready, Check };
    // What an upload's Put left.
    struct Sent {
        TransferOutcome outcome;
        store::StoredCopy copy;
        bool nameTaken = false;
        uint64_t from = 0;  // what the server held of the file before
    };
    void StartUpload();
    // Runs the Put of the upload (continuing what the server holds under the stored name when
    // resume; askTaken: then whether the final name holds a file), then, unless it paused,
    // then(result).
    void SendFile(Session session, bool resume, bool askTaken,
                  std::function<void(const Sent&)> then);
    void Fetch(Session session);
    // Pauses when a pause was asked and the step ended by it: stop is what a cancel of the
    // paused job then does.
    bool EnterPause(const TransferOutcome& outcome, std::function<void()> stop);
    // A journaled upload that broke off while sending keeps its temporary file for a resume.
    bool HoldForResume();
    void StartDownload();
    void Stored(const TransferOutcome& outcome, const store::StoredCopy& copy);
    void Published(const TransferOutcome& outcome);
    void Downloaded(const TransferOutcome& outcome, const QString& sha256, uint64_t size,
                    bool verified);
    // Removes the temporary file (reconnecting once where the session broke), then finishes.
    void CleanUp();
    // The journaled upload (TransferJobJournal.cpp): every step on the store announced first.
    void StartJournaled();
    // resume: stored_ is a held upload's temporary file, continued from what it holds.
    void Announce(bool resume);
    void StoredJournaled(const TransferOutcome& outcome, const store::StoredCopy& copy,
                         bool nameTaken);
    void PublishedJournaled(const TransferOutcome& outcome, const store::StoredCopy& copy);
    // Settles the intents on the store (reconnecting where the session broke), clears those it
    // settled, then calls then(whether every one was settled).
    void Recover(bool ownOnly, std::function<void(bool)> then);
    // Rolls the failed upload back through its intents, then finishes.
    void FailJournaled();
    void Finish();
    // Runs step on the worker and then, on this object's thread, then(result).
    template <class Result>
    void Run(std::function<Result(store::FileStore&)> step,
             std::function<void(const Result&)> then);

    TransferRequest request_;
    std::shared_ptr<TransferState> state_;
    std::unique_ptr<UploadRegistrar> registrar_;
    std::optional<ExpectedFile> expected_;
    bool replace_ = false;
    TransferOutcome outcome_;
    QString stored_;
    QString keptAs_;
    QStringList warnings_;  // what the store's layer warned of so far
    bool running_ = false;
    bool transferring_ = false;  // a Put or Get step runs
    bool pauseAsked_ = false;
    bool paused_ = false;
    bool resumedHeld_ = false;          // the upload continues a held temporary file
    std::function<void()> resume_;      // continues the paused transfer
    std::function<void()> stopPaused_;  // ends the paused transfer as cancelled
    int64_t startedMs_ = 0;
    QTimer keepAlive_;
    std::atomic<bool> abort_{false};  // ends every wait, clean-up included
    StoreWorker worker_;              // last: awaited before the members its steps use go
};

template <class Result>
inline void TransferJob::Run(std::function<Result(store::FileStore&)> step,
                             std::function<void(const Result&)> then) {
    worker_.Post([this, step = std::move(step), then = std::move(then)](store::FileStore& store) {
        StepWarnings warnings;
        Result result = step(store);
        // Queued to this object: a job deleted meanwhile receives nothing.
        QMetaObject::invokeMethod(
            this,
            [this, then, result, said = warnings.Take()] {
                warnings_ << said;
                then(result);
            },
            Qt::QueuedConnection);
    });
}

}  // namespace korvane
