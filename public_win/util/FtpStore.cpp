#include "FtpStore.h"

#include <QFile>
#include <cerrno>

#include "CFTPClient.h"
#include "FtpStatus.h"

namespace korvane {

using store::Fault;
using store::Result;

namespace {
QByteArray Wire(const QString& name) {
    return name.toUtf8();  // the client converts to the server's encoding
}

QByteArray LocalPath(const QString& path) {
    return QFile::encodeName(path);
}

Fault SystemFault(int code, Fault otherwise) {
    switch (code) {
        case ECONNREFUSED:
            return Fault::Refused;
        case EHOSTUNREACH:
        case ENETUNREACH:
        case EADDRNOTAVAIL:
            return Fault::Unreachable;
        case ETIMEDOUT:
            return Fault::Timeout;
        case ECONNRESET:
        case ECONNABORTED:
        case EPIPE:
        case ENOTCONN:
        case ENETRESET:
        case ESHUTDOWN:
            return Fault::Broken;
        default:
            return otherwise;
    }
}
}  // namespace

Fault FaultOf(int code, Fault otherwise) {
    switch (code) {
        case 0:
            return otherwise;
        case ftp::kErrCancelled:
            return Fault::Cancelled;
        case ftp::kErrLoginFailure:
            return Fault::Credentials;
        case ftp::kErrNameNotResolved:
            return Fault::Unreachable;
        case ftp::kErrSecureChannel:
            return Fault::Secure;
        case ftp::kErrTimeout:
            return Fault::Timeout;
        case ftp::kErrConnectionAborted:
        case ftp::kErrCannotConnect:
            return Fault::Broken;
        case ftp::kErrActiveDataFailed:
            return Fault::ActiveData;
        case ftp::kErrCommandFailed:
            return Fault::Server;
        default:
            return code < ftp::kOwnErrorBase ? SystemFault(code, otherwise) : otherwise;
    }
}

FtpStore::FtpStore(store::Endpoint endpoint, ftp::ClientOptions options, store::Timeouts timeouts,
                   store::Clock* clock)
    : endpoint_(std::move(endpoint)), client_(std::make_unique<CFTPClient>()) {
    client_->SetTimeouts(timeouts);
    client_->SetOptions(options);
    client_->SetClock(clock);
}

FtpStore::~FtpStore() = default;

void FtpStore::SetCancelFlag(const std::atomic<bool>* cancel) {
    client_->SetCancelFlag(cancel);
}

void FtpStore::SetProgress(store::Progress progress) {
    client_->SetObserver(std::move(progress));
}

Result FtpStore::Outcome(bool ok, Fault otherwise) const {
    if (ok) {
        return Result::Success();
    }
    const int code = client_->m_nLastErrorCode;
    return Result::Failure(FaultOf(code, otherwise),
                           QString::fromUtf8(client_->m_szLastError).trimmed(), code);
}

Result FtpStore::Open() {
    const Result login = Outcome(
        client_->Connect(Wire(endpoint_.server).constData(), Wire(endpoint_.user).constData(),
                         Wire(endpoint_.password).constData()),
        Fault::Credentials);
    if (!login.Ok()) {
        return login;
    }
    const Result folder =
        Outcome(client_->SetCurrentDirectory(Wire(endpoint_.folder).constData()), Fault::Folder);
    // Only a dropped session or a cancel is more than a folder the server would not enter.
    if (!folder.Ok() && folder.fault != Fault::Cancelled && folder.fault != Fault::Broken &&
        folder.fault != Fault::Timeout) {
        return Result::Failure(Fault::Folder, folder.reason, folder.code);
    }
    return folder;
}

bool FtpStore::Alive() {
    return client_->Alive();
}

void FtpStore::Close() {
    client_->Disconnect();
}

store::Capabilities FtpStore::Can() const {
    store::Capabilities can;
    can.resumeGet = true;
    can.resumePut = true;  // where the server continues a store (REST + STOR, or APPE)
    return can;            // whether RNTO replaces a file is each server's own, learned by trying
}

Result FtpStore::Put(const QString& local, const QString& remote, store::StoredCopy* copy,
                     uint64_t from) {
    CFTPClient::StoredCopy stored;
    const bool ok = client_->StoreAs(Wire(remote).constData(), LocalPath(local).constData(),
                                     copy != nullptr ? &stored : nullptr, from);
    if (ok && copy != nullptr) {
        copy->size = stored.size;
        copy->sha256 = QString::fromStdString(stored.sha256);
        copy->resumedFrom = stored.resumedFrom;
    }
    return Outcome(ok);
}

Result FtpStore::Get(const QString& remote, const QString& local) {
    return Outcome(client_->GetFile(Wire(remote).constData(), LocalPath(local).constData(), -1));
}

Result FtpStore::Rename(const QString& from, const QString& to) {
    return Outcome(client_->Rename(Wire(from).constData(), Wire(to).constData()));
}

Result FtpStore::Replace(const QString& from, const QString& to) {
    return Outcome(client_->Publish(Wire(from).constData(), Wire(to).constData()));
}

Result FtpStore::Remove(const QString& name) {
    return Outcome(client_->RemoveFile(Wire(name).constData()));
}

Result FtpStore::Info(const QString& name, store::RemoteInfo* info) {
    const QByteArray wire = Wire(name);
    info->size = client_->RemoteSize(wire.constData());
    if (const auto modified = client_->RemoteTime(wire.constData())) {
        info->modified = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(*modified), Qt::UTC);
    }
    if (!info->size && !info->modified) {
        // The server's refusal of SIZE and MDTM is as much as FTP says of a missing file.
        Result missing = Outcome(false, Fault::NotFound);
        if (missing.fault == Fault::Server) {
            missing.fault = Fault::NotFound;
        }
        return missing;
    }
    return Result::Success();
}

Result FtpStore::List(QStringList* names) {
    std::vector<std::string> listed;
    const bool ok = client_->ListNames(&listed);
    for (const std::string& n : listed) {
        const QString name = QString::fromStdString(n);
        if (!name.contains(u'/')) {
            names->append(name);
        }
    }
    return Outcome(ok);
}

Result FtpStore::Digest(const QString& name, QString* sha256, uint64_t* size) {
    std::string hex;
    const bool ok = client_->RemoteSha256(Wire(name).constData(), &hex, size);
    *sha256 = QString::fromStdString(hex);
    return Outcome(ok);
}

}  // namespace korvane
