#include "RunningJobs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

#include "OpenLocal.h"
#include "SiteLog.h"
#include "Translate.h"

using korvane::Tr;

namespace telmaris {

namespace {
// Taken as the host library loads: before any window of this process writes the history.
const qint64 kSessionStartMs = QDateTime::currentMSecsSinceEpoch();
}  // namespace

RunningJobs& RunningJobs::Instance() {
    static RunningJobs jobs;
    return jobs;
}

QString RunningJobs::Describe(const JobInfo& info) {
    return Tr("telmaris", "%1 %2（%3）")
        .arg(info.upload ? Tr("telmaris", "上传") : Tr("telmaris", "下载"), info.file, info.window);
}

QDateTime RunningJobs::Now() const {
    return clock_ ? clock_() : QDateTime::currentDateTime();
}

void RunningJobs::Add(QObject* job, const JobInfo& info, const JobHooks& hooks) {
    Entry* retried = nullptr;
    for (Entry& e : entries_) {
        retried = retrying_ != 0 && e.id == retrying_ ? &e : retried;
    }
    Entry fresh;
    Entry& e = retried != nullptr ? *retried : fresh;
    if (retried == nullptr) {
        e.id = nextId_++;
    }
    e.job = job;
    e.info = info;
    e.hooks = hooks;
    e.state = State::Running;
    e.paused = false;
    e.result.clear();
    e.progress.clear();
    e.speed.clear();
    e.bytes = 0;
    e.started = Now();
    e.ended = QDateTime();
    e.attempts += retried != nullptr ? 1 : 0;
    if (retried == nullptr) {
        const auto firstEarlier = std::find_if(entries_.begin(), entries_.end(),
                                               [](const Entry& x) { return x.earlier; });
        entries_.insert(firstEarlier, e);
    }
    retrying_ = 0;
    connect(job, &QObject::destroyed, this,
            [this, job] { End(job, State::Failed, Tr("telmaris", "窗口已关闭，传输中止"), 0); });
    emit changed();
}

void RunningJobs::End(QObject* job, State state, const QString& result, uint64_t bytes) {
    for (Entry& e : entries_) {
        if (e.job != job) {
            continue;
        }
        disconnect(job, &QObject::destroyed, this, nullptr);
        e.job = nullptr;
        e.state = state;
        e.result = result;
        e.bytes = bytes;
        e.ended = Now();
        if (e.hooks.progress) {
            const JobProgress last = e.hooks.progress();
            e.progress = last.done;
            e.speed = last.speed;
        }
        e.hooks.cancel = nullptr;
        e.hooks.progress = nullptr;
        e.hooks.pause = nullptr;
        e.hooks.resume = nullptr;
        e.paused = false;
        WriteLog(e);
        emit changed();
        return;
    }
}

QDateTime RunningJobs::SessionStarted() {
    return QDateTime::fromMSecsSinceEpoch(kSessionStartMs);
}

void RunningJobs::AddEarlier(int32_t operatorId, const QList<EarlierJob>& jobs) {
    if (!WantsEarlier(operatorId)) {
        return;
    }
    earlierOf_.insert(operatorId);
    for (const EarlierJob& job : jobs) {
        Entry e;
        e.id = nextId_++;
        e.info = job.info;
        e.state = job.succeeded ? State::Succeeded : State::Failed;
        e.result = job.result;
        e.bytes = job.bytes;
        e.progress = job.progress;
        e.started = job.ended;
        e.ended = job.ended;
        e.earlier = true;
        e.replaced = job.replaced;
        entries_.append(e);
    }
    if (!jobs.isEmpty()) {
        emit changed();
    }
}

int RunningJobs::Count() const {
    return static_cast<int>(std::count_if(entries_.begin(), entries_.end(),
                                          [](const Entry& e) { return e.job != nullptr; }));
}

QStringList RunningJobs::Descriptions() const {
    QStringList out;
    for (const Entry& e : entries_) {
        if (e.job != nullptr) {
            out << Describe(e.info);
        }
    }
    return out;
}

const RunningJobs::Entry* RunningJobs::Find(int id) const {
    for (const Entry& e : entries_) {
        if (e.id == id) {
            return &e;
        }
    }
    return nullptr;
}

void RunningJobs::CancelAll() {
    QList<std::function<void()>> cancels;  // a cancel may end a job at once
    for (const Entry& e : entries_) {
        if (e.job != nullptr && e.hooks.cancel) {
            cancels << e.hooks.cancel;
        }
    }
    for (const auto& cancel : cancels) {
        cancel();
    }
}

bool RunningJobs::Pause(int id) {
    const Entry* e = Find(id);
    return e != nullptr && e->job != nullptr && !e->paused && e->hooks.pause && e->hooks.pause();
}

bool RunningJobs::Resume(int id) {
    const Entry* e = Find(id);
    return e != nullptr && e->job != nullptr && e->paused && e->hooks.resume && e->hooks.resume();
}

void RunningJobs::SetPaused(QObject* job, bool paused) {
    for (Entry& e : entries_) {
        if (e.job == job && e.paused != paused) {
            e.paused = paused;
            emit changed();
        }
    }
}

void RunningJobs::SetLocalPath(QObject* job, const QString& path) {
    for (Entry& e : entries_) {
        if (e.job == job) {
            e.info.localPath = path;
        }
    }
}

bool RunningJobs::CanOpen(int id) const {
    const Entry* e = Find(id);
    // An earlier session's download has no local path.
    return e != nullptr && !e->info.upload && e->state == State::Succeeded &&
           !e->info.localPath.isEmpty();
}

QString RunningJobs::Open(int id, bool folder) const {
    if (!CanOpen(id)) {
        return Tr("telmaris", "只有下载成功的文件可以打开。");
    }
    return OpenLocal(Find(id)->info.localPath, folder);
}

QString RunningJobs::Retry(int id) {
    const Entry* e = Find(id);
    if (e == nullptr || e->job != nullptr || e->state == State::Succeeded || !e->hooks.retry) {
        return Tr("telmaris", "该传输不能重试。");
    }
    const auto retry = e->hooks.retry;  // a start that adds an entry may move e
    retrying_ = id;
    const QString refused = retry();
    const bool runsAsItself = retrying_ == 0;
    retrying_ = 0;
    if (refused.isEmpty() && !runsAsItself) {
        for (Entry& ended : entries_) {
            if (ended.id == id) {
                ended.hooks.retry = nullptr;
                ended.result += Tr("telmaris", "（已重试）");
            }
        }
        emit changed();
    }
    return refused;
}

void RunningJobs::Forget(int id) {
    entries_.removeIf([id](const Entry& e) { return e.id == id && e.job == nullptr; });
    emit changed();
}

void RunningJobs::ClearEnded() {
    entries_.removeIf([](const Entry& e) { return e.job == nullptr; });
    earlierOf_.clear();
    emit changed();
}

QString RunningJobs::LogPath() const {
    if (!logPath_.isEmpty()) {
        return logPath_;
    }
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty()) {
        state = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return state + QStringLiteral("/telmaris/transfers.log");
}

namespace {
const char* StateName(RunningJobs::State state) {
    static const char* const kStates[] = {"running", "succeeded", "failed", "cancelled"};
    return kStates[static_cast<int>(state)];
}

// ISO 8601 with the offset from UTC, so that the lines of operators in other zones compare.
QString StampWithOffset(const QDateTime& when) {
    return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate);
}
}  // namespace

void RunningJobs::WriteLog(const Entry& e) {
    QString reason = e.result;
    reason.replace(u'\n', u' ').replace(u'\t', u' ');
    const QString direction = e.info.upload ? QStringLiteral("upload") : QStringLiteral("download");
    // The same event for the site's log (SiteLog.h), in words a person reads there.
    qCInfo(lcTransfer, "%s order %s file %s operator %d bytes %llu %s%s%s",
           qUtf8Printable(direction), qUtf8Printable(e.info.order), qUtf8Printable(e.info.file),
           e.info.operatorId, static_cast<unsigned long long>(e.bytes), StateName(e.state),
           reason.isEmpty() ? "" : ": ", qUtf8Printable(reason));

    const QString path = LogPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (QFileInfo(path).size() > kLogRotateBytes) {
        QFile::remove(path + QStringLiteral(".1"));
        QFile::rename(path, path + QStringLiteral(".1"));
    }
    QFile log(path);
    if (!log.open(QIODevice::Append | QIODevice::Text)) {
        return;  // a log that cannot be written never stops a transfer
    }
    const QStringList fields{StampWithOffset(e.ended),
                             QString::number(e.info.operatorId),
                             direction,
                             e.info.order,
                             e.info.file,
                             QString::number(e.bytes),
                             QLatin1String(StateName(e.state)),
                             reason};
    log.write((fields.join(u'\t') + u'\n').toUtf8());
}

}  // namespace telmaris
