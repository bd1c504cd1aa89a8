#include "TransferJob.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <utility>

#include "LocalCopy.h"
#include "TemporaryName.h"
#include "Translate.h"

using korvane::Tr;

namespace korvane {

using Step = TransferOutcome::Step;

namespace {
// A download's local copy and what the worker found it to be.
struct Fetched {
    TransferOutcome outcome;
    QString sha256;
    uint64_t size = 0;
    bool verified = false;  // matched the expected file (or none was expected) and is in place
};

// The SHA-256 of a local file, empty when it cannot be read.
QString Sha256OfFile(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        return QString();
    }
    return QString::fromLatin1(hash.result().toHex());
}

QString MismatchText(const ExpectedFile& expected, const QString& sha256, uint64_t size,
                     const QString& keptAs) {
    return Tr("korvane",
              "服务器上的文件与登记时不一致（登记：%1字节，SHA-256 %2；下载：%3字节，"
              "SHA-256 %4），下载的文件已另存为[%5]，请核实！")
        .arg(expected.size)
        .arg(expected.sha256)
        .arg(size)
        .arg(sha256.isEmpty() ? Tr("korvane", "无法读取") : sha256)
        .arg(keptAs);
}
}  // namespace

std::unique_ptr<store::FileStore> SiteStore(const TransferRequest& request) {
    return MakeStore(request.settings, request.timeouts, request.clock);
}

TransferJob::TransferJob(TransferRequest request, const StoreFactory& factory, QObject* parent)
    : QObject(parent),
      request_(std::move(request)),
      state_(std::make_shared<TransferState>()),
      worker_([factory, request = request_] { return factory(request); }) {
    keepAlive_.setInterval(kKeepAliveMs);
    connect(&keepAlive_, &QTimer::timeout, this, [this] {
        if (registrar_) {
            registrar_->KeepAlive();
        }
    });
}

TransferJob::~TransferJob() {
    abort_.store(true);
    state_->cancel.store(true);
    if (running_ && registrar_) {
        registrar_->Rollback();
        registrar_->Release();
    }
}

void TransferJob::SetRegistrar(std::unique_ptr<UploadRegistrar> registrar) {
    registrar_ = std::move(registrar);
}

void TransferJob::Start() {
    running_ = true;
    startedMs_ = MonotonicMs();
    outcome_ = TransferOutcome();
    state_->cancel.store(false);
    if (request_.direction == Direction::Upload) {
        const bool journaled =
            registrar_ && request_.settings.viaTemporary && registrar_->Journaled();
        journaled ? StartJournaled() : StartUpload();
    } else {
        StartDownload();
    }
}

void TransferJob::Cancel() {
    pauseAsked_ = false;
    state_->paused.store(false);
    state_->cancel.store(true);
    if (paused_) {
        paused_ = false;
        emit pausedChanged(false);
        std::exchange(stopPaused_, nullptr)();
    }
}

bool TransferJob::Pause() {
    if (!transferring_ || pauseAsked_ || state_->cancel.load()) {
        return false;
    }
    pauseAsked_ = true;
    state_->paused.store(true);
    state_->cancel.store(true);  // ends the transfer's waits; EnterPause tells it from a cancel
    return true;
}

bool TransferJob::Resume() {
    if (!paused_) {
        return false;
    }
    paused_ = false;
    stopPaused_ = nullptr;
    state_->paused.store(false);
    state_->cancel.store(false);
    emit pausedChanged(false);
    std::exchange(resume_, nullptr)();
    return true;
}

bool TransferJob::EnterPause(const TransferOutcome& outcome, std::function<void()> stop) {
    transferring_ = false;
    if (!std::exchange(pauseAsked_, false)) {
        return false;
    }
    state_->paused.store(false);
    if (!outcome.cancelled) {
        // The step ended before the pause took (done, or failed on its own): it goes on.
        state_->cancel.store(false);
        return false;
    }
    state_->cancel.store(false);
    paused_ = true;
    state_->paused.store(true);
    stopPaused_ = std::move(stop);
    emit pausedChanged(true);
    return true;
}

namespace {
// Finds the session as the step needs it: false, with the outcome, when it cannot be had.
bool ReadySession(store::FileStore& store, TransferState& state, TransferOutcome& outcome,
                  bool open, bool check) {
    if (open) {
        PrepareStore(store, state);
    } else if (check && !store.Alive()) {
        store.Close();
    } else {
        return true;
    }
    outcome.reached = TransferOutcome::Step::Login;
    return OpenSession(store, state, outcome);
}
}  // namespace

void TransferJob::SendFile(Session session, bool resume, bool askTaken,
                           std::function<void(const Sent&)> then) {
    transferring_ = true;
    resume_ = [this, askTaken, then] { SendFile(Session::Check, true, askTaken, then); };
    Run<Sent>(
        [local = request_.local, remote = request_.remote, state = state_, abort = &abort_,
         stored = stored_, session, resume, askTaken](store::FileStore& store) {
            Sent r;
            r.outcome.reached = Step::Transfer;
            if (!ReadySession(store, *state, r.outcome, session == Session::Open,
                              session == Session::Check)) {
                return r;
            }
            store::RemoteInfo held;
            if (resume && store.Info(stored, &held).Ok()) {
                r.from = held.size.value_or(0);
            }
            if (Advance(store.Put(local, stored, &r.copy, r.from), *state, r.outcome,
                        Step::Register) &&
                askTaken) {
                // Stored: whether a file must step aside is no longer the operator's to stop.
                store.SetCancelFlag(abort);
                store::RemoteInfo info;
                r.nameTaken = store.Info(remote, &info).Ok();
                store.SetCancelFlag(&state->cancel);
            }
            return r;
        },
        [this, then](const Sent& r) {
            if (EnterPause(r.outcome, [then, r] { then(r); })) {
                return;
            }
            if (r.outcome.reached == Step::Register && r.from > 0 && r.copy.resumedFrom == 0) {
                warnings_ << Tr("korvane",
                                "上传[%1]不能从中断处继续（服务器不支持续传上传，或服务器上已"
                                "传的部分与本地文件不符），已从头重新上传。")
                                 .arg(request_.remote);
            }
            then(r);
        });
}

void TransferJob::StartUpload() {
    const bool viaTemporary = request_.settings.viaTemporary;
    stored_ = viaTemporary
                  ? QString::fromStdString(ftp::TemporaryName(request_.remote.toStdString()))
                  : request_.remote;
    if (registrar_) {
        keepAlive_.start();
    }
    SendFile(Session::Open, false, false, [this](const Sent& r) { Stored(r.outcome, r.copy); });
}

void TransferJob::Stored(const TransferOutcome& outcome, const store::StoredCopy& copy) {
    outcome_ = outcome;
    const bool viaTemporary = request_.settings.viaTemporary;
    if (outcome.reached != Step::Register) {
        if (viaTemporary && outcome.reached == Step::Transfer) {
            CleanUp();
        } else {
            Finish();
        }
        return;
    }
    if (registrar_) {
        const QString refused = registrar_->Register(copy);
        if (!refused.isEmpty()) {
            registrar_->Rollback();
            outcome_.reason = refused;
            viaTemporary ? CleanUp() : Finish();
            return;
        }
    }
    if (!viaTemporary) {
        Published(outcome_);
        return;
    }
    outcome_.reached = Step::Publish;
    Run<TransferOutcome>(
        [state = state_, abort = &abort_, from = stored_, to = request_.remote,
         outcome = outcome_](store::FileStore& store) {
            // Once registered, the rename is not the operator's to stop halfway.
            store.SetCancelFlag(abort);
            TransferOutcome r = outcome;
            Advance(store.Replace(from, to), *state, r, Step::Commit);
            r.cancelled = false;
            return r;
        },
        [this](const TransferOutcome& r) { Published(r); });
}

void TransferJob::Published(const TransferOutcome& outcome) {
    outcome_ = outcome;
    if (outcome.reached == Step::Publish) {
        if (registrar_) {
            registrar_->Rollback();
        }
        CleanUp();
        return;
    }
    outcome_.reached = Step::Done;
    if (registrar_) {
        const QString failed = registrar_->Commit();
        if (!failed.isEmpty()) {
            outcome_.reached = Step::Commit;
            outcome_.reason = failed;
        }
    }
    Finish();
}

void TransferJob::CleanUp() {
    Run<bool>(
        [state = state_, abort = &abort_, stored = stored_](store::FileStore& store) {
            store.SetCancelFlag(abort);
            if (!store.Alive()) {
                TransferOutcome ignored;
                store.Close();
                if (!OpenSession(store, *state, ignored)) {
                    return false;
                }
                store.SetCancelFlag(abort);
            }
            return store.Remove(stored).Ok();
        },
        [this](const bool&) { Finish(); });
}

void TransferJob::StartDownload() {
    Fetch(Session::Open);
}

void TransferJob::Fetch(Session session) {
    transferring_ = true;
    resume_ = [this] { Fetch(Session::Check); };
    Run<Fetched>(
        [request = request_, state = state_, expected = expected_, replace = replace_,
         session](store::FileStore& store) {
            Fetched r;
            if (expected && LookAt(request.local, expected).state == LocalLook::State::Same) {
                r.outcome.reached = Step::Verify;
                r.outcome.alreadyThere = true;
                r.outcome.savedAs = request.local;
                r.verified = true;
                return r;
            }
            r.outcome.reached = Step::Transfer;
            // A partial copy under .part is continued by the Get itself.
            const QString part = PartPath(request.local);
            const bool ok =
                ReadySession(store, *state, r.outcome, session == Session::Open,
                             session == Session::Check) &&
                Advance(ReadyPart(request.local, expected), *state, r.outcome, Step::Transfer) &&
                Advance(store.Get(request.remote, part), *state, r.outcome, Step::Verify);
            if (!ok) {
                return r;
            }
            if (expected) {
                r.sha256 = Sha256OfFile(part);
                r.size = static_cast<uint64_t>(QFileInfo(part).size());
                r.verified = expected->size == r.size && expected->sha256 == r.sha256;
            }
            if (!expected || r.verified) {
                // Once verified, a file that cannot be put in place is no success.
                r.verified = Advance(PlacePart(request.local, replace, &r.outcome.savedAs), *state,
                                     r.outcome, Step::Verify);
            }
            return r;
        },
        [this](const Fetched& r) {
            const auto downloaded = [this, r] {
                Downloaded(r.outcome, r.sha256, r.size, r.verified);
            };
            if (!EnterPause(r.outcome, downloaded)) {
                downloaded();
            }
        });
}

void TransferJob::Downloaded(const TransferOutcome& outcome, const QString& sha256, uint64_t size,
                             bool verified) {
    outcome_ = outcome;
    if (outcome.reached != Step::Verify || !outcome.reason.isEmpty()) {
        Finish();
        return;
    }
    if (verified) {
        outcome_.reached = Step::Done;
    } else if (expected_) {
        // Never left where it looks like the registered file.
        keptAs_ = request_.local + QStringLiteral(".mismatch");
        QFile::remove(keptAs_);
        if (!QFile::rename(PartPath(request_.local), keptAs_)) {
            keptAs_ = PartPath(request_.local);
        }
        outcome_.reason = MismatchText(*expected_, sha256, size, keptAs_);
    }
    Finish();
}

void TransferJob::Finish() {
    outcome_.warnings = warnings_;
    keepAlive_.stop();
    if (registrar_) {
        registrar_->Release();
    }
    worker_.Post([](store::FileStore& store) { store.Close(); });
    running_ = false;
    emit finished();
}

}  // namespace korvane
