#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <cstdint>
#include <optional>

namespace korvane::db {

class TADOQuery;

// One side effect of an upload on the store, written down before it happens. Held: a Put whose
// upload was paused or broken off, its temporary file kept for a later upload of the same local
// file to continue (tempSize: that file's size; created: when it was held).
struct Intent {
    enum class Phase { Put, Publish, Collect, Held };
    QString token;  // unique per intent
    QString name;   // the registered name it is about
    Phase phase = Phase::Put;
    QString temp;           // Put, Publish: the upload's temporary name
    int64_t tempSize = -1;  // Publish: what was stored under temp
    QString tempSha;        // Publish
    QString aside;          // Publish: where the file under name steps aside to; Collect: the
                            // object to remove
    int32_t opId = 0;
    QString host;
    int64_t created = 0;  // the database's clock, epoch seconds
};

// One content a name has held: the current one is kept under the name itself, earlier ones
// under VersionName().
struct Version {
    QString name;
    int number = 0;
    QString storeName;
    int64_t size = 0;
    QString sha256;
    int32_t opId = 0;
    QString since;  // create_date of the registration that made it current; empty: before any
};

// How long a held upload's temporary file is kept for a resume; after that it is abandoned.
constexpr int64_t kHeldUploadSeconds = 7 * 24 * 3600;
// Whether intent is a held upload that a resume may still continue at now (epoch seconds):
// nothing but that resume, or another upload of its name, may touch its file.
inline bool HeldForResume(const Intent& intent, int64_t now) {
    return intent.phase == Intent::Phase::Held && now - intent.created < kHeldUploadSeconds;
}

// The tables zy.res_download_intent and zy.res_download_version. Each call is one or a few
// statements on the given query, which it leaves closed; failures raise DbError. Without the
// tables (a database not yet upgraded) Available() is false and nothing else may be called.
class IntentLog {
public:
    explicit IntentLog(TADOQuery& query);

    // Whether both tables exist, asked of the catalogue once per instance.
    bool Available();

    void Announce(const Intent& intent);
    // Writes intent's phase, temporary size and digest, aside name and time.
    void Update(const Intent& intent);
    void Clear(const QString& token);
    // The open intents of name, or of every name when name is empty, oldest first.
    QList<Intent> Open(const QString& name = QString());

    // The versions of name, by number.
    QList<Version> Versions(const QString& name);
    // The version a registration row of name made at createDate fetches: the latest that became
    // current at or before it; nullopt where no version is known (rows from before versions).
    std::optional<Version> VersionFor(const QString& name, const QString& createDate);
    void AddVersion(const Version& version);
    void MoveVersion(const QString& name, int number, const QString& storeName);
    void DropVersion(const QString& name, int number);
    // Every store name that a row, a record, a version or an open intent refers to.
    QSet<QString> Referenced();

    // The name an earlier content of name is kept under: GNU's numbered backup form, which no
    // temporary upload name can take.
    static QString VersionName(const QString& name, int number);

private:
    QList<Intent> Intents(const QString& condition);

    TADOQuery& query_;
    std::optional<bool> available_;
};

// The database server's clock in epoch seconds, so that the hosts of a site agree on when a
// claim was last seen; the host's own clock on a database of unknown kind.
int64_t DatabaseNow(TADOQuery& query);

}  // namespace korvane::db
