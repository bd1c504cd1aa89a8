#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace korvane::db {

class TADOQuery;

// What the current file under one remote name is.
struct StoredFile {
    QString name;
    int64_t size = 0;
    QString sha256;  // 64 lower-case hex digits
    int32_t opId = 0;
    QString host;
    QString storedAt;  // "yyyy-MM-dd hh:mm:ss"
};

// An upload in progress under one remote name.
struct UploadClaim {
    QString token;  // unique per upload
    int32_t opId = 0;
    QString host;
    int64_t sinceEpoch = 0;  // when the upload began (host clock, epoch seconds)
    int64_t seenEpoch = 0;   // its last sign of life
};

// The table zy.res_download_file: per remote name what it holds and who is uploading it.
// Each call is one or two statements on the given query (which it leaves closed); failures
// raise DbError. One writer per name is arbitrated by the database itself (a conditional
// UPDATE counted by its affected rows, an INSERT that the primary key refuses to a second
// process), so it holds across processes and hosts on one database.
class FileRecord {
public:
    explicit FileRecord(TADOQuery& query);

    // Whether the table exists in this database, asked of the catalogue once per instance (a
    // question that cannot fail, so it may come inside a transaction). Without it nothing is
    // recorded, Claim answers Unavailable, and one notice goes to the log ("korvane.db").
    bool Available();

    // What is recorded under name; nullopt when nothing is (or the table is missing).
    std::optional<StoredFile> Current(const QString& name);

    enum class ClaimResult { Claimed, Busy, Unavailable };
    // Takes name for mine unless another live claim holds it. A claim whose seenEpoch is more
    // than expireSeconds before mine.seenEpoch is taken over; mine again (the same token) is
    // renewed. Busy fills *holder (when given) with the live claim. Not inside a transaction:
    // on PostgreSQL the refused INSERT of a lost race would end it.
    ClaimResult Claim(const QString& name, const UploadClaim& mine, int expireSeconds,
                      UploadClaim* holder);
    // A sign of life of my claim; false when it is no longer mine (taken over after expiring).
    bool Touch(const QString& name, const QString& token, int64_t nowEpoch);
    // Gives up my claim; another's is left alone. A name that holds no file goes.
    void Release(const QString& name, const QString& token);
    // Records file as the content under file.name and drops my claim, stamped with sysdate.
    // Raises DbError when the claim is no longer mine, so the caller's transaction (this and the
    // registration INSERT) rolls back. Does nothing without the table.
    void Record(const StoredFile& file, const QString& token);
    // Every recorded file, by name.
    QList<StoredFile> All();

    // A new token for UploadClaim::token: 32 random hex digits.
    static QString NewToken();

private:
    std::optional<UploadClaim> Holder(const QString& name);
    QList<StoredFile> Files(const QString& condition);
    void Exec(const QString& sql);

    TADOQuery& query_;
    std::optional<bool> available_;
};

}  // namespace korvane::db
