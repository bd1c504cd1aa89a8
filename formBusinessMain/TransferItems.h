#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "DownloadPlan.h"
#include "InputChecks.h"
#include "TransferQueue.h"

namespace korvane {

class ReplaceChoices;

namespace db {
class TADOConnection;
class TADOQuery;
}  // namespace db

// The window's transfers as items of its queue: what each readies when it starts (an upload's
// claim and registration on the window's connection, what a download must turn out to be), and
// what the operator is told of it when it is the only one of its batch.
class LeftoverUploads;

class TransferItems {
public:
    using Notice = std::function<void(const QString&)>;
    using OperatorName = std::function<QString(int32_t)>;
    // The message after a download that succeeded, and the file it names.
    using Finished = std::function<void(const QString& text, const QString& file)>;
    TransferItems(db::TADOConnection& connection, db::TADOQuery& query, OperatorName name,
                  Notice notice, Finished finished);
    ~TransferItems();

    // The local file stored as remote and registered by insert for operatorId. The claim's
    // expiry and the way of storing follow the job's settings at its start (a retry reads them
    // anew). held lives as long as the item (the links its local file is read through). note:
    // what its report and its batch's summary say beside the name once it succeeded.
    TransferQueue::Item Upload(const QString& remote, const QString& insert, const QString& local,
                               int32_t operatorId, std::shared_ptr<const void> held,
                               const QString& note = {}) const;
    // The batch of an upload's plan that the operator did not skip, each file read as locals
    // says and registered for operatorId with in's order, type and remark.
    QList<TransferQueue::Item> UploadBatch(const UploadInput& in, const UploadPlan& plan,
                                           const QStringList& locals,
                                           const std::shared_ptr<const void>& held,
                                           const ReplaceChoices& choices, int32_t operatorId) const;
    // The row's content fetched into its local path and checked against its record. When it
    // starts the row is planned again: a name that an upload is putting in place right now, or
    // whose content moved since, is refused with a word.
    TransferQueue::Item Download(const PlannedDownload& download) const;
    // Writes the ended job into the transfer history; a history that cannot be written costs
    // the transfer nothing.
    void Record(const TransferJob& job, int32_t operatorId) const;
    // Hands the host operatorId's transfers of earlier sessions, the newest kEarlierJobs events
    // of the history, once per operator and host session. A history that cannot be read (no
    // table, a busy database) lists nothing and asks nothing of the operator.
    void ListEarlier(int32_t operatorId) const;
    static constexpr int kEarlierJobs = 200;
    // Finishes in the background what uploads of a host that died left announced, over the
    // store request's settings name; what it cannot finish stays for the next start or a repair.
    void FinishLeftovers(const TransferRequest& request, const StoreFactory& factory,
                         int32_t operatorId);

private:
    db::TADOConnection& connection_;
    db::TADOQuery& query_;
    OperatorName name_;
    Notice notice_;
    Finished finished_;
    std::unique_ptr<LeftoverUploads> leftovers_;
};

// Gives request the site's settings as parameter reads them now, and its waits: those of
// korvane_ftp_timeout, else defaults. The reason when the settings allow no transfer.
QString SettleRequest(const std::function<QString(const QString&)>& parameter,
                      const store::Timeouts& defaults, store::Clock* clock,
                      TransferRequest* request);

}  // namespace korvane
