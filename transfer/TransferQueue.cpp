#include "TransferQueue.h"

#include <QFileInfo>
#include <utility>

#include "Translate.h"

using korvane::Tr;

namespace korvane {

TransferQueue::~TransferQueue() = default;

void TransferQueue::Skip(const QString& name) {
    if (std::exchange(batchDone_, false)) {
        batch_.clear();
    }
    Result skipped{name, false, false, QString()};
    skipped.skipped = true;
    batch_.append(skipped);
}

void TransferQueue::Add(Item item) {
    if (std::exchange(batchDone_, false)) {
        batch_.clear();
    }
    waiting_.push_back(std::move(item));
    if (job_ == nullptr) {
        StartNext();
    }
}

void TransferQueue::CancelAll() {
    for (const Item& item : waiting_) {
        batch_.append({item.request.remote, false, true, Tr("korvane", "已取消"), {}, false});
    }
    waiting_.clear();
    if (job_) {
        job_->Cancel();
    }
}

void TransferQueue::StartNext() {
    while (!waiting_.empty()) {
        Item item = std::move(waiting_.front());
        waiting_.pop_front();
        auto job = std::make_unique<TransferJob>(item.request, factory_);
        const QString why = item.prepare ? item.prepare(*job) : QString();
        if (!why.isEmpty()) {
            batch_.append({item.request.remote, false, false, why, {}, false});
            emit refused(item, why);
            continue;
        }
        job_ = std::move(job);
        current_ = item;
        connect(job_.get(), &TransferJob::finished, this, &TransferQueue::JobEnded);
        emit started(job_.get(), item);
        job_->Start();
        return;
    }
    batchDone_ = true;
    emit finished();
}

void TransferQueue::JobEnded() {
    const TransferOutcome& outcome = job_->Outcome();
    batch_.append({job_->Request().remote, outcome.Succeeded(), outcome.cancelled,
                   outcome.Succeeded() ? QString() : OutcomeMessage(job_->Request(), outcome),
                   outcome.Succeeded() ? current_.note : QString(), false, outcome.savedAs,
                   outcome.alreadyThere});
    emit ended(job_.get());
    // Deleted once its own signal has returned.
    job_.release()->deleteLater();
    StartNext();
}

namespace {
// The downloaded files by the names they were saved under, and their folder.
QString DownloadedLine(const QList<TransferQueue::Result>& batch, bool alreadyThere) {
    QStringList names;
    QString folder;
    for (const TransferQueue::Result& r : batch) {
        if (r.succeeded && r.alreadyThere == alreadyThere) {
            const QFileInfo saved(r.saved);
            names << saved.fileName();
            folder = saved.absolutePath();
        }
    }
    if (names.isEmpty()) {
        return QString();
    }
    return (alreadyThere ? Tr("korvane", "%1个文件已在[%2]中，与登记的相同，未重新下载：%3")
                         : Tr("korvane", "已下载%1个文件到[%2]：%3"))
        .arg(QString::number(names.size()), folder, names.join(Tr("korvane", "、")));
}
}  // namespace

QString TransferQueue::Summary(Direction direction, const QList<Result>& batch) {
    const bool upload = direction == Direction::Upload;
    QStringList done;
    QStringList failed;
    QStringList skipped;
    for (const Result& r : batch) {
        if (r.succeeded) {
            done << r.name + r.note;
        } else if (r.skipped) {
            skipped << r.name;
        } else {
            QString reason = r.reason;
            failed << Tr("korvane", "%1：%2").arg(r.name, reason.replace(u'\n', u' '));
        }
    }
    QStringList lines;
    if (upload && !done.isEmpty()) {
        lines << Tr("korvane", "已上传%1个文件：%2")
                     .arg(QString::number(done.size()), done.join(Tr("korvane", "、")));
    } else if (!upload) {
        lines << DownloadedLine(batch, false) << DownloadedLine(batch, true);
        lines.removeAll(QString());
    }
    if (!failed.isEmpty()) {
        lines << (upload ? Tr("korvane", "未上传%1个文件：") : Tr("korvane", "未下载%1个文件："))
                         .arg(failed.size()) +
                     u'\n' + failed.join(u'\n');
    }
    if (!skipped.isEmpty()) {
        lines << Tr("korvane", "跳过%1个文件：%2")
                     .arg(QString::number(skipped.size()), skipped.join(Tr("korvane", "、")));
    }
    return lines.join(u'\n');
}

}  // namespace korvane
