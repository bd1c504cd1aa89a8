#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "StoreBasics.h"
#include "StoreClock.h"

namespace korvane::store {

// What went wrong, in terms that every protocol shares; the texts say the rest.
enum class Fault {
    None,
    Cancelled,    // the operator (or the job's abort) asked it to stop
    Credentials,  // the server refused the user, password or key
    Refused,      // nothing listens at the address and port
    Unreachable,  // the name does not resolve, or no route to the host
    Secure,       // TLS could not be set up, or the certificate was not the one expected
    HostKey,      // the SSH server's key is unknown or changed: nothing secret was sent
    Timeout,      // a wait ran out
    Broken,       // the connection broke off
    ActiveData,   // FTP only: the server made no active-mode data connection
    Folder,       // logged in, but the folder cannot be entered
    NotFound,     // no such remote file
    Server,       // the server refused the command with a reply
    Local,        // the local file could not be read or written
};

// The result of one verb: ok, or the fault with the backend's words (translated) and the
// number behind them (errno or the backend's own) for a trace.
struct Result {
    Fault fault = Fault::None;
    QString reason;
    int code = 0;

    bool Ok() const { return fault == Fault::None; }
    static Result Success() { return {}; }
    static Result Failure(Fault fault, QString reason, int code = 0) {
        return {fault, std::move(reason), code};
    }
};

// Where a store is: host[:port], the account and its secret (a password, or a key's
// passphrase), and the folder the names are in. The secret never reaches a log or a trace.
struct Endpoint {
    QString server;
    QString user;
    QString password;
    QString folder;
};

// What a backend can do; some of it is known only after Open.
struct Capabilities {
    bool atomicReplace = false;  // a rename over an existing file in one step
    bool renameOver = false;     // a rename may replace an existing file at all
    bool resumeGet = true;       // a download continues a partial local copy
    bool resumePut = false;      // an upload continues a partial remote file
    bool serverDigest = false;   // the server hashes a file itself (Info fills sha256)
};

// What Put stored: the file's size and SHA-256, and where a resumed Put continued.
struct StoredCopy {
    uint64_t size = 0;
    QString sha256;            // 64 lower-case hex digits, of the whole file
    uint64_t resumedFrom = 0;  // the bytes kept of the remote file; 0: stored from the start
};

// What the server says of one remote file; unset where it does not tell.
struct RemoteInfo {
    std::optional<uint64_t> size;
    std::optional<QDateTime> modified;  // UTC
    QString sha256;                     // only where Capabilities::serverDigest
};

// After every block, on the transferring thread: the bytes done (counting those present before
// a resume), the total (0: unknown) and the offset the transfer started from.
using Progress = std::function<void(uint64_t done, uint64_t total, uint64_t from)>;

// One session with a file store: a folder on an FTP, FTPS or SFTP server (an object store fits
// the same verbs: a temporary key, publish by copy). Every verb blocks its thread up to the
// session's timeouts and returns a Result; names are bare names inside the session's folder.
// One store is used by one thread at a time.
class FileStore {
public:
    virtual ~FileStore() = default;

    // How the next verbs wait, pace and stop. cancel (may be null) is read during every wait:
    // set from any thread, the running verb ends within about 100 ms with Fault::Cancelled.
    virtual void SetCancelFlag(const std::atomic<bool>* cancel) = 0;
    virtual void SetProgress(Progress progress) = 0;

    // Connects, authenticates and goes to the folder. Fault::HostKey, Secure and Credentials
    // come before anything secret is sent where the protocol allows it.
    virtual Result Open() = 0;
    // Whether the session still answers.
    virtual bool Alive() = 0;
    virtual void Close() = 0;
    virtual Capabilities Can() const = 0;

    // Stores the local file under exactly remote (replacing a file of that name), hashing the
    // bytes as they go out; the stored size is compared where the server tells it. from: the
    // bytes of the local file that remote holds already (its size, from Info). Where the
    // kResumeOverlap bytes before from are found to be the local file's and the server lets a
    // file be continued, only the rest is sent; else the whole file is (copy->resumedFrom says
    // which). The digest is the whole local file's either way.
    virtual Result Put(const QString& local, const QString& remote, StoredCopy* copy,
                       uint64_t from) = 0;
    // Retrieves remote into the local file, continuing a partial copy from its size after the
    // bytes before it were received again and found equal (else from the start).
    virtual Result Get(const QString& remote, const QString& local) = 0;
    // Renames from to to, a name that holds no file.
    virtual Result Rename(const QString& from, const QString& to) = 0;
    // Puts from in the place of to: in one step where the backend can; else the file under to
    // is moved aside first and moved back when from cannot take its place. The file under to
    // is never deleted.
    virtual Result Replace(const QString& from, const QString& to) = 0;
    virtual Result Remove(const QString& name) = 0;
    virtual Result Info(const QString& name, RemoteInfo* info) = 0;
    // The plain names in the folder (no sub-folders, no names with a folder part).
    virtual Result List(QStringList* names) = 0;
    // The SHA-256 and size of a remote file, streamed without a local copy.
    virtual Result Digest(const QString& name, QString* sha256, uint64_t* size) = 0;
};

}  // namespace korvane::store
