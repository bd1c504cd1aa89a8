#pragma once

#include <memory>

#include "FileStore.h"
#include "FtpOptions.h"

class CFTPClient;

namespace korvane {

// The FTP and FTPS backend of the file store: CFTPClient behind the store's verbs.
class FtpStore final : public store::FileStore {
public:
    FtpStore(store::Endpoint endpoint, ftp::ClientOptions options, store::Timeouts timeouts,
             store::Clock* clock);
    ~FtpStore() override;

    void SetCancelFlag(const std::atomic<bool>* cancel) override;
    void SetProgress(store::Progress progress) override;

    store::Result Open() override;
    bool Alive() override;
    void Close() override;
    store::Capabilities Can() const override;

    store::Result Put(const QString& local, const QString& remote, store::StoredCopy* copy,
                      uint64_t from) override;
    store::Result Get(const QString& remote, const QString& local) override;
    store::Result Rename(const QString& from, const QString& to) override;
    store::Result Replace(const QString& from, const QString& to) override;
    store::Result Remove(const QString& name) override;
    store::Result Info(const QString& name, store::RemoteInfo* info) override;
    store::Result List(QStringList* names) override;
    store::Result Digest(const QString& name, QString* sha256, uint64_t* size) override;

private:
    // ok, or the client's last error as a store failure.
    store::Result Outcome(bool ok, store::Fault otherwise = store::Fault::Server) const;

    store::Endpoint endpoint_;
    std::unique_ptr<CFTPClient> client_;
};

// What the store's fault is for one of the client's error numbers (errno or ftp::kErr...);
// otherwise where the number says nothing more specific.
store::Fault FaultOf(int code, store::Fault otherwise);

}  // namespace korvane
