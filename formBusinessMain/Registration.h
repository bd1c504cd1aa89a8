#pragma once

#include <QString>
#include <cstdint>

#include "TransferJob.h"

namespace korvane {
namespace db {
class TADOConnection;
class TADOQuery;
}  // namespace db

// The registration of one upload on the window's connection: in one transaction the
// registration row and, where the database keeps it, the record of what the file is.
class Registration : public UploadRegistrar {
public:
    Registration(db::TADOConnection& connection, db::TADOQuery& query, QString insertStatement);
    ~Registration() override;

    QString Register(const CFTPClient::StoredCopy& copy) override;
    QString Commit() override;
    void Rollback() override;
    void Release() override {}

private:
    db::TADOConnection& connection_;
    db::TADOQuery& query_;
    QString insert_;
    bool open_ = false;  // a transaction of ours is open
};

}  // namespace korvane
