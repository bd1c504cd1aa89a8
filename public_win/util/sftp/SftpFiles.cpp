// The verbs that move file contents and list the folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "FtpEncoding.h"
#include "LocalFile.h"
#include "SftpChannel.h"
#include "SftpPacket.h"
#include "SftpStore.h"
#include "SftpTransfer.h"
#include "Translate.h"

namespace korvane::sftp {

using store::Fault;
using store::Result;

namespace {
// The bytes before a partial copy's end that are fetched again and compared.
constexpr uint64_t kOverlap = store::kResumeOverlap;

Result LocalFailure(const QString& text, const QString& path, int error) {
    return Result::Failure(Fault::Local, text.arg(path, QString::fromLocal8Bit(strerror(error))),
                           error);
}

Result DownloadTargetFailure(const QString& path, int error) {
    if (error == EPERM) {
        return Result::Failure(
            Fault::Local,
            Tr("korvane", "本地文件%1是链接、不是普通文件或不属于当前用户，未写入").arg(path),
            error);
    }
    if (error == EWOULDBLOCK) {
        return Result::Failure(Fault::Local,
                               Tr("korvane", "本地文件%1正被另一个下载写入").arg(path), error);
    }
    return LocalFailure(Tr("korvane", "无法写入本地文件%1：%2"), path, error);
}
}  // namespace

Pipeline SftpStore::Pipe(int stallMs, const QString& what) const {
    return Pipeline{*channel_, *clock_, cancel_, stallMs, what, &progress_};
}

Result SftpStore::ParseHandle(const Reply& reply, const QString& what, std::string* handle) {
    if (reply.type != kFxpHandle) {
        return StatusOf(reply, what);
    }
    PacketReader in(reply.body);
    *handle = std::string(in.Str());
    return in.Ok() ? Result::Success() : Unexpected(what);
}

Result SftpStore::OpenStore(const std::string& path, int fd, const QString& what, uint64_t* from,
                            std::string* handle) {
    if (*from > 0) {
        // Opened without truncating, the file is continued at from: only where it ends there and
        // its last bytes are the local file's.
        Attributes remote;
        Result r = StatPath(path, what, &remote);
        bool same = false;
        if (r.Ok() && remote.size == *from) {
            r = OpenHandle(path, kOpenRead | kOpenWrite, what, handle);
            if (r.Ok()) {
                r = TailMatches(*handle, fd, *from, &same);
            }
            if (r.Ok() && same) {
                return r;
            }
            if (r.Ok()) {
                r = CloseHandle(*handle, what);
            }
        }
        if (!r.Ok() && r.fault != Fault::NotFound && r.fault != Fault::Server) {
            return r;  // the session failed, not the resume
        }
        *from = 0;
    }
    return OpenHandle(path, kOpenWrite | kOpenCreate | kOpenTruncate, what, handle);
}

Result SftpStore::TailMatches(const std::string& handle, int fd, uint64_t end, bool* same) {
    std::string tail;
    const uint64_t n = std::min(end, kOverlap);
    Pipeline pipe = Pipe(timeouts_.readMs, Tr("korvane", "读取数据"));
    pipe.progress = nullptr;
    Downloader probe(pipe, handle, readChunk_, [&tail](std::string_view data) {
        tail.append(data);
        return Result::Success();
    });
    const Result r = probe.Run(end - n, end, 0);
    *same = r.Ok() && tail.size() == n &&
            ftp::SameBytesAt(fd, static_cast<int64_t>(end - n), tail.data(), n);
    return r;
}

Result SftpStore::Put(const QString& local, const QString& remote, store::StoredCopy* copy,
                      uint64_t from) {
    std::string path;
    Result r = channel_ ? WireName(remote, &path) : NotOpen();
    if (!r.Ok()) {
        return r;
    }
    // Non-blocking: a FIFO under the name must not hold the open up; files read as ever.
    ftp::LocalFile file(::open(local.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    const int error = !file.Valid()                ? errno
                      : fstat(file.Fd(), &st) != 0 ? errno
                      : S_ISDIR(st.st_mode)        ? EISDIR
                      : !S_ISREG(st.st_mode)       ? EINVAL  // a device is no file to store
                                                   : 0;
    if (error != 0) {
        return LocalFailure(Tr("korvane", "无法读取本地文件%1：%2"), local, error);
    }
    const QString what = Tr("korvane", "上传%1").arg(remote);
    std::string handle;
    uint64_t resumed = from <= static_cast<uint64_t>(st.st_size) ? from : 0;
    r = OpenStore(path, file.Fd(), what, &resumed, &handle);
    if (!r.Ok()) {
        return r;
    }
    Uploader upload(Pipe(timeouts_.writeMs, what), handle, file.Fd(),
                    static_cast<uint64_t>(st.st_size), writeChunk_);
    r = upload.Run(resumed);
    if (!r.Ok()) {
        AbandonHandle(handle);
        return r;
    }
    r = CloseHandle(handle, what);
    Attributes stored;
    if (r.Ok()) {
        r = StatPath(path, what, &stored);
    }
    if (r.Ok() && stored.size && *stored.size != upload.Sent()) {
        return Result::Failure(Fault::Server,
                               Tr("korvane", "%1：服务器上的文件为%2字节，应为%3字节")
                                   .arg(what)
                                   .arg(*stored.size)
                                   .arg(upload.Sent()));
    }
    if (r.Ok() && copy != nullptr) {
        copy->size = upload.Sent();
        copy->sha256 = QString::fromStdString(upload.Digest());
        copy->resumedFrom = resumed;
    }
    return r;
}

Result SftpStore::Get(const QString& remote, const QString& local) {
    std::string path;
    Result r = channel_ ? WireName(remote, &path) : NotOpen();
    const QString what = Tr("korvane", "下载%1").arg(remote);
    Attributes attributes;
    if (r.Ok()) {
        r = StatPath(path, what, &attributes);
    }
    if (!r.Ok()) {
        return r;
    }
    bool created = false;
    ftp::LocalFile file(ftp::OpenDownloadTarget(local.toLocal8Bit().constData(), &created));
    if (!file.Valid()) {
        return DownloadTargetFailure(local, errno);
    }
    std::string handle;
    r = OpenHandle(path, kOpenRead, what, &handle);
    uint64_t from = 0;
    if (r.Ok()) {
        r = ResumePoint(handle, file.Fd(), attributes, &from);
    }
    if (r.Ok() && lseek(file.Fd(), static_cast<off_t>(from), SEEK_SET) < 0) {
        r = LocalFailure(Tr("korvane", "无法写入本地文件%1：%2"), local, errno);
    }
    const int fd = file.Fd();
    Downloader download(
        Pipe(timeouts_.readMs, what), handle, readChunk_, [fd, &local](std::string_view data) {
            return ftp::WriteAll(fd, data.data(), data.size())
                       ? Result::Success()
                       : LocalFailure(Tr("korvane", "无法写入本地文件%1：%2"), local, errno);
        });
    if (r.Ok()) {
        r = download.Run(from, Downloader::kToTheEnd, attributes.size.value_or(0));
    }
    if (!r.Ok()) {
        AbandonHandle(handle);
        return r;
    }
    if (created) {
        ftp::MakeDownloadPublic(fd);
    }
    return CloseHandle(handle, what);
}

Result SftpStore::ResumePoint(const std::string& handle, int fd, const Attributes& remote,
                              uint64_t* from) {
    struct stat st {};
    fstat(fd, &st);
    const auto held = static_cast<uint64_t>(st.st_size);
    *from = 0;
    if (held == 0) {
        return Result::Success();
    }
    // The partial copy continues only where its last bytes are the server's bytes there.
    bool same = false;
    if (!remote.size || *remote.size >= held) {
        const Result r = TailMatches(handle, fd, held, &same);
        if (!r.Ok()) {
            return r;
        }
    }
    if (same) {
        *from = held;
    } else if (ftruncate(fd, 0) != 0) {
        return Result::Failure(Fault::Local,
                               Tr("korvane", "无法清空本地文件：%1").arg(strerror(errno)), errno);
    }
    return Result::Success();
}

Result SftpStore::Digest(const QString& name, QString* sha256, uint64_t* size) {
    std::string path;
    Result r = channel_ ? WireName(name, &path) : NotOpen();
    const QString what = Tr("korvane", "读取%1").arg(name);
    std::string handle;
    if (r.Ok()) {
        r = OpenHandle(path, kOpenRead, what, &handle);
    }
    if (!r.Ok()) {
        return r;
    }
    BlockHasher hasher;
    Downloader read(Pipe(timeouts_.readMs, what), handle, readChunk_,
                    [&hasher](std::string_view data) {
                        hasher.Add(std::string(data));
                        return Result::Success();
                    });
    r = read.Run(0, Downloader::kToTheEnd, 0);
    if (!r.Ok()) {
        AbandonHandle(handle);
        return r;
    }
    *sha256 = QString::fromStdString(hasher.Finish());
    *size = read.Received();
    return CloseHandle(handle, what);
}

Result SftpStore::List(QStringList* names) {
    std::string folder;
    Result r = channel_ ? WireFolder(&folder) : NotOpen();
    const QString what = Tr("korvane", "列出目录%1").arg(endpoint_.folder);
    Reply reply;
    if (r.Ok()) {
        r = Call(kFxpOpendir, {folder.empty() ? std::string(".") : folder}, &reply, what);
    }
    std::string handle;
    if (r.Ok()) {
        r = ParseHandle(reply, what, &handle);
    }
    if (!r.Ok()) {
        return r;
    }
    names->clear();
    r = ReadNames(handle, names);
    const Result closed = CloseHandle(handle, what);
    return r.Ok() ? closed : r;
}

Result SftpStore::ReadNames(const std::string& handle, QStringList* names) {
    const QString what = Tr("korvane", "列出目录%1").arg(endpoint_.folder);
    for (;;) {
        Reply reply;
        Result r = Call(kFxpReaddir, {handle}, &reply, what);
        if (r.Ok() && reply.type != kFxpName) {
            PacketReader in(reply.body);
            const bool end = reply.type == kFxpStatus && in.U32() == kFxEof;
            return end ? Result::Success() : StatusOf(reply, what);
        }
        if (!r.Ok()) {
            return r;
        }
        PacketReader in(reply.body);
        for (uint32_t count = in.U32(); count > 0 && in.Ok(); --count) {
            const std::string name(in.Str());
            in.Str();  // the long name, as ls -l shows it
            const Attributes a = ReadAttributes(in);
            if (a.IsRegular() && name.find('/') == std::string::npos && name != "." &&
                name != "..") {
                names->append(QString::fromStdString(codec_->Decode(name)));
            }
        }
        if (!in.Ok()) {
            return Unexpected(what);
        }
    }
}

std::unique_ptr<store::FileStore> MakeSftpStore(store::Endpoint endpoint, SftpOptions options,
                                                store::Timeouts timeouts, store::Clock* clock) {
    return std::make_unique<SftpStore>(std::move(endpoint), std::move(options), timeouts, clock);
}

}  // namespace korvane::sftp
