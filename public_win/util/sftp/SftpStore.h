#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "FileStore.h"
#include "SftpOptions.h"

namespace ftp {
class NameCodec;
}

namespace korvane::sftp {

class SshLink;
class SftpChannel;
struct Attributes;
struct Pipeline;
struct Reply;

// A folder on an SFTP server (SFTP version 3 over SSH, as OpenSSH serves it). The host key is
// checked before anything secret is sent; reads and writes keep many requests in flight.
class SftpStore : public store::FileStore {
public:
    // endpoint.server is host[:port] (port 22 by default, "[::1]:2222" for IPv6).
    SftpStore(store::Endpoint endpoint, SftpOptions options, store::Timeouts timeouts,
              store::Clock* clock);
    ~SftpStore() override;

    void SetCancelFlag(const std::atomic<bool>* cancel) override { cancel_ = cancel; }
    void SetProgress(store::Progress progress) override { progress_ = std::move(progress); }
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
    store::Result Handshake();
    store::Result ReadLimits();
    // The bytes of the folder, or of name inside it, in the server's encoding.
    store::Result WireName(const QString& name, std::string* out) const;
    store::Result WireFolder(std::string* out) const;
    store::Result WireNames(const QString& from, const QString& to, std::string* a,
                            std::string* b) const;
    // One request and its reply within the reply timeout.
    store::Result Call(uint8_t type, std::initializer_list<std::string_view> fields, Reply* reply,
                       const QString& what);
    store::Result CallStatus(uint8_t type, std::initializer_list<std::string_view> fields,
                             const QString& what);
    store::Result StatPath(const std::string& path, const QString& what, Attributes* out);
    store::Result OpenHandle(const std::string& path, uint32_t flags, const QString& what,
                             std::string* handle);
    store::Result CloseHandle(const std::string& handle, const QString& what);
    void AbandonHandle(const std::string& handle);
    store::Result RenamePath(const std::string& from, const std::string& to, const QString& what);
    store::Result MoveAsideAndReplace(const std::string& from, const std::string& to,
                                      const QString& what);

    store::Result ParseHandle(const Reply& reply, const QString& what, std::string* handle);
    store::Result ReadNames(const std::string& handle, QStringList* names);
    // The handle of a store to path: continuing the file at *from where it ends there with the
    // local file's bytes (fd), else truncated (*from set to 0).
    store::Result OpenStore(const std::string& path, int fd, const QString& what, uint64_t* from,
                            std::string* handle);
    // Whether the kResumeOverlap bytes before end in the remote file are fd's there.
    store::Result TailMatches(const std::string& handle, int fd, uint64_t end, bool* same);
    store::Result ResumePoint(const std::string& handle, int fd, const Attributes& remote,
                              uint64_t* from);
    // What the transfers in flight share: the channel, the clock, the cancel flag.
    Pipeline Pipe(int stallMs, const QString& what) const;
    store::Result NotOpen() const;

    store::Endpoint endpoint_;
    SftpOptions options_;
    store::Timeouts timeouts_;
    store::Clock* clock_;
    const std::atomic<bool>* cancel_ = nullptr;
    store::Progress progress_;
    std::unique_ptr<ftp::NameCodec> codec_;
    std::unique_ptr<SshLink> link_;
    std::unique_ptr<SftpChannel> channel_;
    bool posixRename_ = false;
    uint32_t readChunk_ = 32768;
    uint32_t writeChunk_ = 32768;
};

std::unique_ptr<store::FileStore> MakeSftpStore(store::Endpoint endpoint, SftpOptions options,
                                                store::Timeouts timeouts, store::Clock* clock);

}  // namespace korvane::sftp
