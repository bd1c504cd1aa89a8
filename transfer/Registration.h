#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "FileRecord.h"
#include "IntentLog.h"

#include "TransferJob.h"

namespace korvane {
namespace db {
class TADOConnection;
class TADOQuery;
}  // namespace db

// The registration of one upload on the window's connection. Before a byte is sent it claims
// the remote name, so that one upload at a time writes it; once stored, one transaction holds
// the registration row and the record of what the file is (size, SHA-256, who, when, where
// from). A database without the record table registers the row alone.
class Registration : public UploadRegistrar {
public:
    struct Upload {
        QString remote;
        QString insert;  // the registration's INSERT
        int32_t operatorId = 0;
        int expireSeconds = 120;   // a claim silent this long is taken over
        int keepVersions = 10;     // earlier contents kept of a name that is replaced
        bool viaTemporary = true;  // stored under a temporary name, else under its own
    };
    Registration(db::TADOConnection& connection, db::TADOQuery& query, Upload upload);
    ~Registration() override;
    // Whether the name is this registration's now (a database without claims holds none).
    bool Claimed() const { return claimed_; }

    // Empty when the name is this upload's now (or nothing records claims); else who is
    // uploading it since when. operatorName gives an operator's name by number.
    QString Claim(const std::function<QString(int32_t)>& operatorName);

    void KeepAlive() override;
    QString Register(const store::StoredCopy& copy) override;
    QString Commit() override;
    void Rollback() override;
    void Release() override;
    int Version() const override { return version_; }
    bool Replaced() const override { return !intent_.aside.isEmpty(); }

    bool Journaled() override;
    QList<db::Intent> Intents(bool ownOnly) override;
    void Settled(const QStringList& tokens) override;
    QString Resumable(uint64_t localSize) override;
    bool Hold(uint64_t localSize) override;
    QString Announce(const QString& temporary) override;
    QString Plan(const store::StoredCopy& copy, bool nameTaken, QString* aside) override;
    QString Settle(const store::StoredCopy& copy) override;

    static QString HostName();

private:
    // Inside the open transaction: the versions after this upload, and the removal of those
    // beyond the bound announced.
    void RecordVersions(const store::StoredCopy& copy, const QString& since);
    db::Intent NewIntent(db::Intent::Phase phase) const;

    db::TADOConnection& connection_;
    db::TADOQuery& query_;
    Upload upload_;
    QString token_;
    bool claimed_ = false;
    bool open_ = false;                       // a transaction of ours is open
    db::Intent intent_;                       // this upload's put and publish
    bool adopted_ = false;                    // intent_ was a held upload's
    QStringList own_;                         // tokens of the intents this upload wrote
    std::optional<db::StoredFile> previous_;  // what the record said the name held
    int version_ = 0;                         // the version this upload became
};

}  // namespace korvane
