#pragma once

#include <QString>
#include <cstdint>
#include <functional>

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
        bool viaTemporary = true;  // stored under a temporary name, else under its own
    };
    Registration(db::TADOConnection& connection, db::TADOQuery& query, Upload upload);
    ~Registration() override;

    // Empty when the name is this upload's now (or nothing records claims); else who is
    // uploading it since when. operatorName gives an operator's name by number.
    QString Claim(const std::function<QString(int32_t)>& operatorName);

    void KeepAlive() override;
    QString Register(const store::StoredCopy& copy) override;
    QString Commit() override;
    void Rollback() override;
    void Release() override;

    static QString HostName();

private:
    db::TADOConnection& connection_;
    db::TADOQuery& query_;
    Upload upload_;
    QString token_;
    bool claimed_ = false;
    bool open_ = false;  // a transaction of ours is open
};

}  // namespace korvane
