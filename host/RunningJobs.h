#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "HostApi.h"

namespace telmaris {

// A transfer as the host sees it: whose, what, and how far.
struct JobInfo {
    QString window;     // the title of the window that runs it
    QString order;      // the order number
    QString file;       // the remote name
    QString localPath;  // the local file
    bool upload = true;
    int32_t operatorId = 0;
};

// How far a job is, as texts its module wrote (so that bytes and times read alike everywhere).
struct JobProgress {
    QString done;     // "50%  50.0 MiB / 100.0 MiB", or the bytes alone without a known size
    QString speed;    // the average, "10.0 MiB/s"; empty before any byte
    QString current;  // the speed of the last few seconds; empty while not known
    QString left;     // "0:06"; empty when not known or while no bytes arrive
};

// What a business module lets the host do with one of its jobs.
struct JobHooks {
    std::function<void()> cancel;  // asks it to stop; it still ends on its own
    std::function<JobProgress()> progress;
    // Starts it again: empty when it did, else why not (its window is busy, a setting is bad).
    // Unset: cannot be retried.
    std::function<QString()> retry;
    // Stops it where it is, keeping what it did (false: it cannot pause now), and continues it;
    // unset: it cannot pause. Its module tells SetPaused once it has stopped or goes on.
    std::function<bool()> pause;
    std::function<bool()> resume;
};

// A transfer of an earlier host session, as the site's history keeps it: ended, with nothing
// to cancel, pause or retry.
struct EarlierJob {
    JobInfo info;           // no window; no local path, which the history does not keep
    bool replaced = false;  // an upload that took the place of a registered file
    bool succeeded = true;
    QString result;
    uint64_t bytes = 0;
    QString progress;  // the bytes as its module writes them
    QDateTime ended;
};

// Every transfer of this session: the running ones, which the host must know of before it
// quits, and the ended ones with their results until it quits. Each end is also written to
// the transfer log. Lives on the GUI thread.
class TELMARIS_HOST_API RunningJobs : public QObject {
    Q_OBJECT
public:
    enum class State { Running, Succeeded, Failed, Cancelled };
    struct Entry {
        int id = 0;
        QObject* job = nullptr;  // null once ended
        JobInfo info;
        JobHooks hooks;
        State state = State::Running;
        bool paused = false;  // running, stopped to be continued
        QString result;
        uint64_t bytes = 0;
        QString progress;   // the last progress text, kept once it ended
        QString speed;      // its average speed, kept once it ended
        QDateTime started;  // of its latest attempt
        QDateTime ended;
        int attempts = 1;       // a retry runs as the same entry
        bool earlier = false;   // of an earlier session: from the history, listed below
        bool replaced = false;  // an earlier upload that replaced a registered file
    };
    using Clock = std::function<QDateTime()>;

    static RunningJobs& Instance();

    // A job that is destroyed before End was called ended as failed.
    void Add(QObject* job, const JobInfo& info, const JobHooks& hooks);
    void End(QObject* job, State state, const QString& result, uint64_t bytes);
    // When this host session began: the history's events from before it are of earlier ones.
    static QDateTime SessionStarted();
    // Whether operatorId's earlier sessions are still to be listed; they are, once a session.
    bool WantsEarlier(int32_t operatorId) const { return !earlierOf_.contains(operatorId); }
    // Lists jobs of operatorId's earlier sessions, newest first, below this session's.
    void AddEarlier(int32_t operatorId, const QList<EarlierJob>& jobs);

    int Count() const;                 // running
    QStringList Descriptions() const;  // of the running ones
    const QList<Entry>& Entries() const { return entries_; }
    const Entry* Find(int id) const;
    void CancelAll();
    // Pauses or continues the running job id through its hooks: whether it was asked to.
    bool Pause(int id);
    bool Resume(int id);
    // What a module tells once its job stopped or goes on again.
    void SetPaused(QObject* job, bool paused);
    // Where a job's file is, once known at its end (a download kept beside another file).
    void SetLocalPath(QObject* job, const QString& path);
    // Whether id is a download that succeeded, whose file (or its folder) Open shows.
    bool CanOpen(int id) const;
    // Opens that file, or the folder that holds it: empty when it was handed to the desktop,
    // else why not (see OpenLocal).
    QString Open(int id, bool folder) const;
    // Starts the ended job id again through its retry hook: empty when it started, else why
    // not. The job its hook starts at once runs as entry id, one attempt more; one that starts
    // later shows as a job of its own.
    QString Retry(int id);
    // Drops the ended job id from the list.
    void Forget(int id);
    // The time of starts and ends (tests set one; an empty one is the system's).
    void SetClock(Clock clock) { clock_ = std::move(clock); }
    QDateTime Now() const;
    // Where the ends of transfers are logged: $XDG_STATE_HOME/telmaris/transfers.log unless set.
    void SetLogPath(const QString& path) { logPath_ = path; }
    QString LogPath() const;
    // Forgets the ended jobs, and whose earlier sessions were listed (tests).
    void ClearEnded();

    static QString Describe(const JobInfo& info);
    static constexpr qint64 kLogRotateBytes = 1 << 20;

signals:
    // A job came, went or ended; progress is read through its hooks.
    void changed();

private:
    void WriteLog(const Entry& e);

    QList<Entry> entries_;     // this session's first, then the earlier sessions'
    QSet<int32_t> earlierOf_;  // operators whose earlier sessions were listed
    int nextId_ = 1;
    int retrying_ = 0;  // the entry whose retry hook runs
    Clock clock_;
    QString logPath_;
};

}  // namespace telmaris
