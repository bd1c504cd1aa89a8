#include "TransferJob.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

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
struct StoreResult {
    TransferOutcome outcome;
    store::StoredCopy copy;
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
    state_->cancel.store(true);
}

void TransferJob::StartUpload() {
    const bool viaTemporary = request_.settings.viaTemporary;
    stored_ = viaTemporary
                  ? QString::fromStdString(ftp::TemporaryName(request_.remote.toStdString()))
                  : request_.remote;
    if (registrar_) {
        keepAlive_.start();
    }
    Run<StoreResult>(
        [local = request_.local, state = state_, stored = stored_](store::FileStore& store) {
            StoreResult r;
            PrepareStore(store, *state);
            OpenSession(store, *state, r.outcome) &&
                Advance(store.Put(local, stored, &r.copy), *state, r.outcome, Step::Register);
            return r;
        },
        [this](const StoreResult& r) { Stored(r.outcome, r.copy); });
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
    Run<Fetched>(
        [request = request_, state = state_, expected = expected_,
         replace = replace_](store::FileStore& store) {
            Fetched r;
            if (expected && LookAt(request.local, expected).state == LocalLook::State::Same) {
                r.outcome.reached = Step::Verify;
                r.outcome.alreadyThere = true;
                r.outcome.savedAs = request.local;
                r.verified = true;
                return r;
            }
            PrepareStore(store, *state);
            const QString part = PartPath(request.local);
            const bool ok =
                OpenSession(store, *state, r.outcome) &&
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
        [this](const Fetched& r) { Downloaded(r.outcome, r.sha256, r.size, r.verified); });
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
