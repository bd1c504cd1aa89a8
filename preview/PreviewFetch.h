#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "PreviewCache.h"
#include "TransferJob.h"

namespace korvane {

// Brings one registered content into the preview cache as a job like every transfer: the store's
// Get on a worker thread into the cache's partial name (continued where an earlier fetch
// stopped), the bytes compared with the registration's size and SHA-256, and only bytes that
// match put in place. Its end arrives as exactly one of fetched, failed or cancelled, then ended.
class PreviewFetch : public QObject {
    Q_OBJECT
public:
    // request: the site's settings and waits, and the store's name of the content in remote.
    PreviewFetch(TransferRequest request, ExpectedFile expected, PreviewCache cache,
                 const StoreFactory& factory = SiteStore, QObject* parent = nullptr);

    void Start();
    // The transfer stops within about 100 ms; what arrived stays for the next fetch.
    void Cancel();
    bool Running() const { return job_ && job_->Running(); }
    // Bytes that arrived (a continued fetch counts those it held) and the file's size.
    uint64_t Done() const;
    uint64_t Total() const { return expected_.size; }

signals:
    void fetched(const QString& path);
    // mismatch: the store's bytes are not the registered file; message says both.
    void failed(const QString& message, bool mismatch);
    void cancelled();
    void ended();

private:
    void Finished();
    void Fail(const QString& message, bool mismatch);

    ExpectedFile expected_;
    PreviewCache cache_;
    std::unique_ptr<TransferJob> job_;
};

}  // namespace korvane
