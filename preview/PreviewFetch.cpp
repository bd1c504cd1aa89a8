#include "PreviewFetch.h"

#include <QFile>

#include "LocalCopy.h"
#include "Sha256.h"
#include "Translate.h"

namespace korvane {

namespace {

QString Sha256Of(const QString& path) {
    const std::string digest = ftp::Sha256OfFile(QFile::encodeName(path).constData());
    return digest.empty() ? Tr("korvane", "无法读取") : QString::fromStdString(digest);
}

}  // namespace

PreviewFetch::PreviewFetch(TransferRequest request, ExpectedFile expected, PreviewCache cache,
                           const StoreFactory& factory, QObject* parent)
    : QObject(parent), expected_(std::move(expected)), cache_(std::move(cache)) {
    request.direction = Direction::Download;
    request.local = cache_.PartOf(expected_);
    job_ = std::make_unique<TransferJob>(std::move(request), factory);
    job_->SetExpected(expected_);
    connect(job_.get(), &TransferJob::finished, this, &PreviewFetch::Finished);
}

void PreviewFetch::Start() {
    QString error;
    if (!cache_.Prepare(&error)) {
        QMetaObject::invokeMethod(
            this, [this, error] { Fail(error, false); }, Qt::QueuedConnection);
        return;
    }
    // Owner-only from the first byte; a partial copy of an earlier fetch is continued. The job
    // writes beside its target and puts the file in place once verified.
    QFile part(PartPath(job_->Request().local));
    if (!part.exists() && part.open(QIODevice::WriteOnly)) {
        part.close();
    }
    part.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    job_->Start();
}

void PreviewFetch::Cancel() {
    job_->Cancel();
}

uint64_t PreviewFetch::Done() const {
    return job_->State()->done.load();
}

void PreviewFetch::Finished() {
    const TransferOutcome& outcome = job_->Outcome();
    if (outcome.Succeeded()) {
        const QString path = cache_.Admit(job_->Request().local, expected_);
        if (path.isEmpty()) {
            Fail(Tr("korvane", "预览缓存目录[%1]无法创建或写入。").arg(cache_.Folder()), false);
            return;
        }
        emit fetched(path);
        emit ended();
    } else if (outcome.cancelled) {
        emit cancelled();
        emit ended();
    } else if (outcome.reached == TransferOutcome::Step::Verify) {
        const QString kept = job_->KeptAs();
        const QString message =
            Tr("korvane",
               "服务器上的文件与登记时不一致（登记：%1字节，SHA-256 %2；服务器上：%3字节，SHA-256 "
               "%4），不予显示，请核实！")
                .arg(expected_.size)
                .arg(expected_.sha256)
                .arg(QFile(kept).size())
                .arg(Sha256Of(kept));
        QFile::remove(kept);
        Fail(message, true);
    } else {
        Fail(OutcomeMessage(job_->Request(), outcome), false);
    }
}

void PreviewFetch::Fail(const QString& message, bool mismatch) {
    emit failed(message, mismatch);
    emit ended();
}

}  // namespace korvane
