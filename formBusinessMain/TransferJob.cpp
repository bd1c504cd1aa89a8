#include "TransferJob.h"

#include <QFile>
#include <QFileInfo>

#include "Sha256.h"
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
};
struct StoreResult {
    TransferOutcome outcome;
    CFTPClient::StoredCopy copy;
};

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

TransferJob::TransferJob(TransferRequest request, QObject* parent)
    : QObject(parent), request_(std::move(request)), state_(std::make_shared<TransferState>()) {
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

template <class Result>
void TransferJob::Run(std::function<Result(CFTPClient&)> step,
                      std::function<void(const Result&)> then) {
    worker_.Post([this, step = std::move(step), then = std::move(then)](CFTPClient& client) {
        Result result = step(client);
        // Queued to this object: a job deleted meanwhile receives nothing.
        QMetaObject::invokeMethod(
            this, [then, result] { then(result); }, Qt::QueuedConnection);
    });
}

void TransferJob::Start() {
    running_ = true;
    startedMs_ = MonotonicMs();
    outcome_ = TransferOutcome();
    state_->cancel.store(false);
    if (request_.direction == Direction::Upload) {
        StartUpload();
    } else {
        StartDownload();
    }
}

void TransferJob::Cancel() {
    state_->cancel.store(true);
}

void TransferJob::StartUpload() {
    const bool viaTemporary = request_.settings.options.storeViaPart;
    stored_ = viaTemporary
                  ? QString::fromStdString(ftp::TemporaryName(request_.remote.toStdString()))
                  : request_.remote;
    if (registrar_) {
        keepAlive_.start();
    }
    Run<StoreResult>(
        [request = request_, state = state_, stored = stored_.toUtf8()](CFTPClient& client) {
            StoreResult r;
            PrepareClient(client, request, *state, &state->cancel);
            const QByteArray local = QFile::encodeName(request.local);
            OpenSession(client, request, *state, r.outcome) &&
                Advance(client, *state, r.outcome, Step::Register,
                        client.StoreAs(stored.constData(), local.constData(), &r.copy));
            return r;
        },
        [this](const StoreResult& r) { Stored(r.outcome, r.copy); });
}

void TransferJob::Stored(const TransferOutcome& outcome, const CFTPClient::StoredCopy& copy) {
    outcome_ = outcome;
    const bool viaTemporary = request_.settings.options.storeViaPart;
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
        [request = request_, state = state_, abort = &abort_, from = stored_.toUtf8(),
         to = request_.remote.toUtf8(), outcome = outcome_](CFTPClient& client) {
            // Once registered, the rename is not the operator's to stop halfway.
            client.SetCancelFlag(abort);
            TransferOutcome r = outcome;
            Advance(client, *state, r, Step::Commit,
                    client.Publish(from.constData(), to.constData()));
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
        [request = request_, state = state_, abort = &abort_,
         stored = stored_.toUtf8()](CFTPClient& client) {
            client.SetCancelFlag(abort);
            if (!client.Alive()) {
                TransferOutcome ignored;
                client.Disconnect();
                if (!OpenSession(client, request, *state, ignored)) {
                    return false;
                }
            }
            return client.RemoveFile(stored.constData());
        },
        [this](const bool&) { Finish(); });
}

void TransferJob::StartDownload() {
    Run<Fetched>(
        [request = request_, state = state_, check = expected_.has_value()](CFTPClient& client) {
            Fetched r;
            PrepareClient(client, request, *state, &state->cancel);
            const QByteArray remote = request.remote.toUtf8();
            const QByteArray local = QFile::encodeName(request.local);
            const bool ok = OpenSession(client, request, *state, r.outcome) &&
                            Advance(client, *state, r.outcome, Step::Verify,
                                    client.GetFile(remote.constData(), local.constData(), -1));
            if (ok && check) {
                r.sha256 = QString::fromStdString(ftp::Sha256OfFile(local.constData()));
                r.size = static_cast<uint64_t>(QFileInfo(request.local).size());
            }
            return r;
        },
        [this](const Fetched& r) { Downloaded(r.outcome, r.sha256, r.size); });
}

void TransferJob::Downloaded(const TransferOutcome& outcome, const QString& sha256, uint64_t size) {
    outcome_ = outcome;
    if (outcome.reached == Step::Verify) {
        outcome_.reached = Step::Done;
        if (expected_ && (expected_->size != size || expected_->sha256 != sha256)) {
            // Never left where it looks like the registered file.
            keptAs_ = request_.local + QStringLiteral(".mismatch");
            QFile::remove(keptAs_);
            if (!QFile::rename(request_.local, keptAs_)) {
                keptAs_ = request_.local;
            }
            outcome_.reached = Step::Verify;
            outcome_.reason = MismatchText(*expected_, sha256, size, keptAs_);
        }
    }
    Finish();
}

void TransferJob::Finish() {
    keepAlive_.stop();
    if (registrar_) {
        registrar_->Release();
    }
    worker_.Post([](CFTPClient& client) { client.Disconnect(); });
    running_ = false;
    emit finished();
}

}  // namespace korvane
