#include "SftpStore.h"

#include <sys/stat.h>

#include <QDateTime>
#include <algorithm>

#include "FtpEncoding.h"
#include "SftpChannel.h"
#include "SftpPacket.h"
#include "SshLink.h"
#include "TemporaryName.h"
#include "Translate.h"

namespace korvane::sftp {

using store::Fault;
using store::Result;

namespace {
constexpr const char* kPosixRename = "posix-rename@openssh.com";
constexpr const char* kLimits = "limits@openssh.com";
// OpenSSH's sftp-server takes requests of up to 256 KiB; 32 KiB is what every server must take.
constexpr uint64_t kLargestChunk = 255 * 1024;
constexpr uint64_t kSmallestChunk = 32 * 1024;

uint32_t ChunkWithin(uint64_t limit) {
    if (limit == 0) {
        return kSmallestChunk;  // the server names no bound
    }
    return static_cast<uint32_t>(std::clamp(limit, kSmallestChunk, kLargestChunk));
}

}  // namespace

SftpStore::SftpStore(store::Endpoint endpoint, SftpOptions options, store::Timeouts timeouts,
                     store::Clock* clock)
    : endpoint_(std::move(endpoint)),
      options_(std::move(options)),
      timeouts_(timeouts),
      clock_(clock != nullptr ? clock : &store::Clock::Real()),
      link_(std::make_unique<SshLink>()) {}

SftpStore::~SftpStore() {
    Close();
}

Result SftpStore::NotOpen() const {
    return Result::Failure(Fault::Broken,
                           Tr("korvane", "与服务器%1的SFTP会话未打开").arg(endpoint_.server));
}

Result SftpStore::Open() {
    Close();
    // SFTP has no FEAT to ask: "auto" means what OpenSSH servers keep, UTF-8.
    const bool automatic =
        options_.encoding.isEmpty() || options_.encoding.compare(u"auto", Qt::CaseInsensitive) == 0;
    codec_ = ftp::NameCodec::Open(automatic ? "UTF-8" : options_.encoding.toStdString());
    if (!codec_) {
        return Result::Failure(
            Fault::Local,
            Tr("korvane", "文件名编码“%1”无法识别，请检查系统参数korvane_ftp_encoding")
                .arg(options_.encoding));
    }
    Result r = link_->Open(endpoint_, options_, timeouts_, *clock_, cancel_);
    if (r.Ok()) {
        channel_ = std::make_unique<SftpChannel>(*link_);
        r = Handshake();
    }
    Attributes folder;
    std::string path;
    if (r.Ok() && WireFolder(&path).Ok() && !path.empty()) {
        r = StatPath(path, Tr("korvane", "进入目录%1").arg(endpoint_.folder), &folder);
        if (r.Ok() && folder.permissions && !S_ISDIR(*folder.permissions)) {
            r = Result::Failure(Fault::NotFound, Tr("korvane", "%1不是目录").arg(endpoint_.folder));
        }
    }
    if (!r.Ok()) {
        Close();
    }
    return r;
}

Result SftpStore::Handshake() {
    const QString what = Tr("korvane", "SFTP握手");
    channel_->Queue(channel_->Init());
    Reply version;
    Result r = channel_->Await(SftpChannel::kInitId, Deadline(*clock_, timeouts_.replyMs, cancel_),
                               what, &version);
    if (!r.Ok()) {
        return r;
    }
    if (version.type != kFxpVersion) {
        return Unexpected(what);
    }
    bool limits = false;
    PacketReader in(version.body);
    while (!in.AtEnd() && in.Ok()) {
        const std::string_view name = in.Str();
        in.Str();
        posixRename_ = posixRename_ || name == kPosixRename;
        limits = limits || name == kLimits;
    }
    return limits ? ReadLimits() : Result::Success();
}

Result SftpStore::ReadLimits() {
    Reply reply;
    Result r = Call(kFxpExtended, {kLimits}, &reply, Tr("korvane", "SFTP握手"));
    if (r.Ok() && reply.type == kFxpExtendedReply) {
        PacketReader in(reply.body);
        in.U64();  // the longest packet
        const uint64_t read = in.U64();
        const uint64_t write = in.U64();
        if (in.Ok()) {
            readChunk_ = ChunkWithin(read);
            writeChunk_ = ChunkWithin(write);
        }
    }
    return r;
}

bool SftpStore::Alive() {
    if (!channel_) {
        return false;
    }
    Attributes ignored;
    std::string folder;
    WireFolder(&folder);
    const Result r = StatPath(folder.empty() ? std::string(".") : folder, QString(), &ignored);
    return r.Ok() || r.fault == Fault::NotFound || r.fault == Fault::Server;
}

void SftpStore::Close() {
    channel_.reset();
    link_->Close();
}

store::Capabilities SftpStore::Can() const {
    store::Capabilities can;
    can.atomicReplace = posixRename_;
    can.renameOver = posixRename_;
    can.resumeGet = true;
    can.resumePut = true;
    can.serverDigest = false;
    return can;
}

Result SftpStore::WireFolder(std::string* out) const {
    QString folder = endpoint_.folder;
    while (folder.size() > 1 && folder.endsWith(u'/')) {
        folder.chop(1);
    }
    if (!codec_->Encode(folder.toStdString(), out)) {
        return Result::Failure(
            Fault::Local, Tr("korvane", "名称“%1”无法用%2编码表示").arg(folder, options_.encoding));
    }
    return Result::Success();
}

Result SftpStore::WireName(const QString& name, std::string* out) const {
    QString path = endpoint_.folder;
    if (!path.isEmpty() && !path.endsWith(u'/')) {
        path += u'/';
    }
    path += name;
    if (!codec_->Encode(path.toStdString(), out)) {
        return Result::Failure(
            Fault::Local, Tr("korvane", "名称“%1”无法用%2编码表示").arg(name, options_.encoding));
    }
    return Result::Success();
}

Result SftpStore::WireNames(const QString& from, const QString& to, std::string* a,
                            std::string* b) const {
    const Result r = WireName(from, a);
    return r.Ok() ? WireName(to, b) : r;
}

Result SftpStore::Call(uint8_t type, std::initializer_list<std::string_view> fields, Reply* reply,
                       const QString& what) {
    if (!channel_) {
        return NotOpen();
    }
    PacketWriter request = channel_->Begin(type);
    for (std::string_view field : fields) {
        request.Str(field);
    }
    const uint32_t id = channel_->Queue(std::move(request));
    return channel_->Await(id, Deadline(*clock_, timeouts_.replyMs, cancel_), what, reply);
}

Result SftpStore::CallStatus(uint8_t type, std::initializer_list<std::string_view> fields,
                             const QString& what) {
    Reply reply;
    const Result r = Call(type, fields, &reply, what);
    return r.Ok() ? StatusOf(reply, what) : r;
}

Result SftpStore::StatPath(const std::string& path, const QString& what, Attributes* out) {
    Reply reply;
    Result r = Call(kFxpStat, {path}, &reply, what);
    if (!r.Ok() || reply.type != kFxpAttrs) {
        return r.Ok() ? StatusOf(reply, what) : r;
    }
    PacketReader in(reply.body);
    *out = ReadAttributes(in);
    return in.Ok() ? Result::Success() : Unexpected(what);
}

Result SftpStore::OpenHandle(const std::string& path, uint32_t flags, const QString& what,
                             std::string* handle) {
    if (!channel_) {
        return NotOpen();
    }
    PacketWriter request = channel_->Begin(kFxpOpen);
    request.Str(path).U32(flags).U32(0);  // no attributes: the server's default mode
    const uint32_t id = channel_->Queue(std::move(request));
    Reply reply;
    Result r = channel_->Await(id, Deadline(*clock_, timeouts_.replyMs, cancel_), what, &reply);
    if (!r.Ok() || reply.type != kFxpHandle) {
        return r.Ok() ? StatusOf(reply, what) : r;
    }
    PacketReader in(reply.body);
    *handle = std::string(in.Str());
    return in.Ok() ? Result::Success() : Unexpected(what);
}

Result SftpStore::CloseHandle(const std::string& handle, const QString& what) {
    return CallStatus(kFxpClose, {handle}, what);
}

void SftpStore::AbandonHandle(const std::string& handle) {
    if (channel_) {
        PacketWriter request = channel_->Begin(kFxpClose);
        request.Str(handle);
        channel_->Forget(channel_->Queue(std::move(request)));
        channel_->Pump(0);
    }
}

Result SftpStore::RenamePath(const std::string& from, const std::string& to, const QString& what) {
    return CallStatus(kFxpRename, {from, to}, what);
}

Result SftpStore::Rename(const QString& from, const QString& to) {
    std::string a;
    std::string b;
    Result r = WireNames(from, to, &a, &b);
    if (!r.Ok()) {
        return r;
    }
    // Some servers rename over an existing file; this verb must not.
    Attributes there;
    const QString what = Tr("korvane", "将%1改名为%2").arg(from, to);
    r = StatPath(b, what, &there);
    if (r.Ok()) {
        return Result::Failure(Fault::Server, Tr("korvane", "%1失败：%2已存在").arg(what, to));
    }
    return r.fault == Fault::NotFound ? RenamePath(a, b, what) : r;
}

Result SftpStore::Replace(const QString& from, const QString& to) {
    std::string a;
    std::string b;
    Result r = WireNames(from, to, &a, &b);
    if (!r.Ok()) {
        return r;
    }
    const QString what = Tr("korvane", "用%1替换%2").arg(from, to);
    if (posixRename_) {
        r = CallStatus(kFxpExtended, {kPosixRename, a, b}, what);
        if (r.fault != Fault::Server) {
            return r;
        }
        // A server may list the extension and still refuse it (sftp-server -P): the session
        // replaces the other way from now on, which the capabilities then say.
        posixRename_ = false;
    }
    return MoveAsideAndReplace(a, b, what);
}

Result SftpStore::MoveAsideAndReplace(const std::string& from, const std::string& to,
                                      const QString& what) {
    const std::string aside = ftp::TemporaryName(to, ftp::RandomTag());
    Result r = RenamePath(to, aside, what);
    if (r.fault == Fault::NotFound) {
        return RenamePath(from, to, what);  // nothing to move aside
    }
    if (!r.Ok()) {
        return r;
    }
    r = RenamePath(from, to, what);
    if (!r.Ok()) {
        const Result back = RenamePath(aside, to, what);
        if (!back.Ok()) {
            r.reason += u'\n' + Tr("korvane", "原文件已移到%1，未能移回：%2")
                                    .arg(codec_->Decode(aside).c_str(), back.reason);
        }
        return r;
    }
    // The old file served its purpose; a failure to remove it leaves a stray, not a loss.
    CallStatus(kFxpRemove, {aside}, what);
    return Result::Success();
}

Result SftpStore::Remove(const QString& name) {
    std::string path;
    Result r = WireName(name, &path);
    return r.Ok() ? CallStatus(kFxpRemove, {path}, Tr("korvane", "删除%1").arg(name)) : r;
}

Result SftpStore::Info(const QString& name, store::RemoteInfo* info) {
    std::string path;
    Attributes a;
    Result r = WireName(name, &path);
    if (r.Ok()) {
        r = StatPath(path, Tr("korvane", "查询%1").arg(name), &a);
    }
    if (r.Ok()) {
        *info = store::RemoteInfo();
        info->size = a.size;
        if (a.mtime) {
            info->modified = QDateTime::fromSecsSinceEpoch(*a.mtime, Qt::UTC);
        }
    }
    return r;
}

}  // namespace korvane::sftp
