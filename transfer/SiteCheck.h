#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdio>

#include "FileStore.h"

namespace korvane {

namespace db {
class TADOQuery;
struct StoredFile;
struct Intent;
}  // namespace db

// korvane-dbtool --check: compares a site's registrations with its store's folder, both as the
// host's configuration names them (configPath alone when set, else the machine's and the
// operator's files, read as the host reads them: korvane_conn, korvane_ip, korvane_user,
// korvane_pwd, korvane_path and the store's options). Lists on out the names whose file is
// missing, the recorded files whose size or SHA-256 differs from the record, the files nothing
// refers to (orphans, never removed) and the unfinished uploads an intent names; repair finishes
// those whose upload is no longer alive, which removes only what that upload itself had put
// there. A paused upload's temporary file is kept for its resume until db::kHeldUploadSeconds
// passed. Ends with one summary line. 0: nothing found; 1: something found; 2: the check could
// not be made.
int RunSiteCheck(const QString& configPath, bool repair, std::FILE* out);

// The check on an open database query and store session.
class SiteCheck {
public:
    struct Counts {
        int missing = 0;
        int changed = 0;
        int unreadable = 0;
        int orphans = 0;
        int unfinished = 0;
        int settled = 0;
        int held = 0;  // paused uploads kept for a resume: nothing to mend
        bool Found() const { return missing + changed + unreadable + orphans + unfinished > 0; }
    };
    // At most this many lines of one kind of finding; the rest are counted.
    static constexpr int kLinesPerKind = 20;
    // A claim silent this long belongs to an upload that is no longer alive.
    static constexpr int kAbandonedSeconds = 300;

    SiteCheck(db::TADOQuery& query, store::FileStore& store, bool repair, std::FILE* out);
    // Raises DbError when the database fails; false with *error when the listing does.
    bool Run(Counts* counts, QString* error);
    static QString Summary(const Counts& counts, bool repair);

private:
    void Report(const QString& kind, const QString& line);
    void CheckRows();
    void CheckVersions();
    void CheckRecorded(const db::StoredFile& file);
    void CheckIntents();
    // Whether intent is a paused upload still kept for a resume (reported, left alone).
    bool KeptForResume(const db::Intent& intent, int64_t now);
    void CheckOrphans();
    bool Settle(const QString& name, const QList<db::Intent>& intents);
    void EndReports();

    db::TADOQuery& query_;
    store::FileStore& store_;
    bool repair_;
    std::FILE* out_;
    QSet<QString> listed_;
    QSet<QString> rowNames_;
    QMap<QString, int> reported_;  // lines per kind
    Counts counts_;
};

}  // namespace korvane
