#pragma once

#include <QObject>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "IntentLog.h"
#include "StoreWorker.h"
#include "TransferJob.h"

namespace korvane {

namespace db {
class TADOConnection;
class TADOQuery;
}  // namespace db
class Registration;

// At a window's start: the uploads that died with their host, their claims silent past expiry,
// are finished from what the store holds, on a worker of its own, so the window never waits on
// the store. A name whose upload is alive elsewhere is left to that upload.
class LeftoverUploads : public QObject {
    Q_OBJECT
public:
    LeftoverUploads(db::TADOConnection& connection, db::TADOQuery& query, TransferRequest request,
                    const StoreFactory& factory = SiteStore, QObject* parent = nullptr);
    // Stops what runs; what is not settled stays announced for the next start or a repair.
    ~LeftoverUploads() override;

    // Claims every name with open intents that no live upload holds (a claim silent for
    // expireSeconds is taken over) for operatorId and starts settling them: false when there is
    // none, and then finished never comes. A database that cannot say is left alone.
    bool Start(int32_t operatorId, int expireSeconds);

signals:
    // settled: the intents finished and cleared; left: those that stay announced.
    void finished(int settled, int left);

private:
    void Done(const QStringList& settled);

    db::TADOConnection& connection_;
    db::TADOQuery& query_;
    TransferRequest request_;
    std::vector<std::unique_ptr<Registration>> claims_;
    QList<db::Intent> intents_;
    std::shared_ptr<TransferState> state_ = std::make_shared<TransferState>();
    std::atomic<bool> abort_{false};
    StoreWorker worker_;  // last: awaited before the members its steps use go
};

}  // namespace korvane
