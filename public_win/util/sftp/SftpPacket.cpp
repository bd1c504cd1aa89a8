#include "SftpPacket.h"

#include <sys/stat.h>

namespace korvane::sftp {

namespace {
enum AttrFlags : uint32_t {
    kAttrSize = 0x01,
    kAttrUidGid = 0x02,
    kAttrPermissions = 0x04,
    kAttrTimes = 0x08,
    kAttrExtended = 0x80000000U,
};

void PutU32(std::string& out, uint32_t v) {
    const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(b, 4);
}

uint32_t GetU32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return (uint32_t{u[0]} << 24) | (uint32_t{u[1]} << 16) | (uint32_t{u[2]} << 8) | u[3];
}
}  // namespace

PacketWriter::PacketWriter(uint8_t type, uint32_t id, std::string storage)
    : bytes_(std::move(storage)), id_(id) {
    bytes_.assign(4, '\0');  // the length, set by Take
    bytes_.push_back(static_cast<char>(type));
    PutU32(bytes_, id);
}

PacketWriter& PacketWriter::U32(uint32_t v) {
    PutU32(bytes_, v);
    return *this;
}

PacketWriter& PacketWriter::U64(uint64_t v) {
    PutU32(bytes_, static_cast<uint32_t>(v >> 32));
    PutU32(bytes_, static_cast<uint32_t>(v));
    return *this;
}

PacketWriter& PacketWriter::Str(std::string_view bytes) {
    PutU32(bytes_, static_cast<uint32_t>(bytes.size()));
    bytes_.append(bytes);
    return *this;
}

std::string PacketWriter::Take() {
    std::string length;
    PutU32(length, static_cast<uint32_t>(bytes_.size() - 4));
    bytes_.replace(0, 4, length);
    return std::move(bytes_);
}

std::string_view PacketReader::Take(std::size_t n) {
    if (!ok_ || rest_.size() < n) {
        ok_ = false;
        return {};
    }
    const std::string_view head = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return head;
}

uint32_t PacketReader::U32() {
    const std::string_view b = Take(4);
    return ok_ ? GetU32(b.data()) : 0;
}

uint64_t PacketReader::U64() {
    const uint64_t high = U32();
    return (high << 32) | U32();
}

std::string_view PacketReader::Str() {
    const uint32_t n = U32();
    return Take(n);
}

bool Attributes::IsRegular() const {
    // A server that does not tell the type lists files only, as most do for a plain folder.
    return !permissions || S_ISREG(*permissions);
}

Attributes ReadAttributes(PacketReader& in) {
    Attributes a;
    const uint32_t flags = in.U32();
    if (flags & kAttrSize) {
        a.size = in.U64();
    }
    if (flags & kAttrUidGid) {
        in.U32();
        in.U32();
    }
    if (flags & kAttrPermissions) {
        a.permissions = in.U32();
    }
    if (flags & kAttrTimes) {
        in.U32();  // atime
        a.mtime = in.U32();
    }
    if (flags & kAttrExtended) {
        for (uint32_t n = in.U32(); n > 0 && in.Ok(); --n) {
            in.Str();
            in.Str();
        }
    }
    return a;
}

std::optional<Reply> PacketSplitter::Next(bool* broken, std::string storage) {
    const std::size_t have = pending_.size() - start_;
    if (have < 4) {
        return std::nullopt;
    }
    const uint32_t length = GetU32(pending_.data() + start_);
    if (length < 5 || length > kMaxPacket) {
        *broken = true;
        return std::nullopt;
    }
    if (have < 4 + std::size_t{length}) {
        // Keep the buffer from growing by the bytes already taken.
        if (start_ > 0) {
            pending_.erase(0, start_);
            start_ = 0;
        }
        return std::nullopt;
    }
    const char* p = pending_.data() + start_ + 4;
    Reply r;
    r.body = std::move(storage);
    r.type = static_cast<uint8_t>(p[0]);
    r.id = GetU32(p + 1);
    r.body.assign(p + 5, length - 5);
    start_ += 4 + std::size_t{length};
    if (start_ == pending_.size()) {
        pending_.clear();
        start_ = 0;
    }
    return r;
}

}  // namespace korvane::sftp
