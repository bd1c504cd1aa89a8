#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <memory>

#include "TransferJob.h"

namespace korvane {

// The transfers of one window: run one at a time in the order given, each as a job. A batch is
// what was added while the queue was busy or idle until it next runs dry; its summary says what
// worked and what did not, and why.
class TransferQueue : public QObject {
    Q_OBJECT
public:
    struct Item {
        TransferRequest request;
        // Readies the job on the GUI thread just before it starts (a claim, a registrar, what a
        // download must turn out to be): an empty text, or why the item is not transferred.
        std::function<QString(TransferJob&)> prepare;
        // What the operator is told of this job when it is the only one of its batch.
        std::function<void(const TransferJob&)> report;
        // What the batch's summary says beside the name once it succeeded ("（替换了…）").
        QString note{};
    };
    struct Result {
        QString name;  // the remote name
        bool succeeded = false;
        bool cancelled = false;
        QString reason;
        QString note{};             // the item's note, once it succeeded
        bool skipped = false;       // the operator chose not to transfer it
        QString saved{};            // a download: where its file is
        bool alreadyThere = false;  // a download: an equal file was there, nothing came
    };

    explicit TransferQueue(QObject* parent = nullptr) : QObject(parent) {}
    // A job still running is aborted (see TransferJob's destructor).
    ~TransferQueue() override;

    // Where the jobs' store sessions come from (the site's store by default).
    void SetStoreFactory(StoreFactory factory) { factory_ = std::move(factory); }
    const StoreFactory& Factory() const { return factory_; }
    void Add(Item item);
    // A name of the batch that the operator chose not to transfer; its summary says so.
    void Skip(const QString& name);
    // Cancels the running job and drops the waiting ones.
    void CancelAll();
    TransferJob* Running() const { return job_.get(); }
    // The item of the running job (during ended(), the one that ended).
    const Item& Current() const { return current_; }
    bool Busy() const { return job_ != nullptr || !waiting_.empty(); }
    const QList<Result>& Batch() const { return batch_; }
    int BatchSize() const { return static_cast<int>(batch_.size()) + Waiting(); }
    int Waiting() const { return static_cast<int>(waiting_.size()); }

    // "已上传2个文件：…\n未上传1个文件：…\n跳过1个文件：…" for a batch of several; downloads name
    // the folder.
    static QString Summary(Direction direction, const QList<Result>& batch);

signals:
    void started(korvane::TransferJob* job, const korvane::TransferQueue::Item& item);
    // The job is deleted once the receivers returned.
    void ended(korvane::TransferJob* job);
    // prepare refused an item; nothing was transferred.
    void refused(const korvane::TransferQueue::Item& item, const QString& why);
    // The queue ran dry: Batch() holds every item's result until the next Add.
    void finished();

private:
    void StartNext();
    void JobEnded();

    StoreFactory factory_ = SiteStore;
    std::deque<Item> waiting_;
    std::unique_ptr<TransferJob> job_;
    Item current_;
    QList<Result> batch_;
    bool batchDone_ = false;
};

}  // namespace korvane
