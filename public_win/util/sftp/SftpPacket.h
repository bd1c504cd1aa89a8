#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane::sftp {

// SFTP version 3 (draft-ietf-secsh-filexfer-02), the version OpenSSH speaks.
enum PacketType : uint8_t {
    kFxpInit = 1,
    kFxpVersion = 2,
    kFxpOpen = 3,
    kFxpClose = 4,
    kFxpRead = 5,
    kFxpWrite = 6,
    kFxpOpendir = 11,
    kFxpReaddir = 12,
    kFxpRemove = 13,
    kFxpStat = 17,
    kFxpRename = 18,
    kFxpStatus = 101,
    kFxpHandle = 102,
    kFxpData = 103,
    kFxpName = 104,
    kFxpAttrs = 105,
    kFxpExtended = 200,
    kFxpExtendedReply = 201,
};

enum StatusCode : uint32_t {
    kFxOk = 0,
    kFxEof = 1,
    kFxNoSuchFile = 2,
    kFxPermissionDenied = 3,
};

enum OpenFlags : uint32_t {
    kOpenRead = 0x01,
    kOpenWrite = 0x02,
    kOpenCreate = 0x08,
    kOpenTruncate = 0x10,
};

// The largest packet accepted from a server: OpenSSH's own bound, 256 KiB, and room to spare.
constexpr uint32_t kMaxPacket = 1024 * 1024;

// One request's bytes, length prefix included.
class PacketWriter {
public:
    // storage: a spent buffer to write into, so that its memory is used again.
    PacketWriter(uint8_t type, uint32_t id, std::string storage = std::string());
    uint32_t Id() const { return id_; }
    PacketWriter& U32(uint32_t v);
    PacketWriter& U64(uint64_t v);
    PacketWriter& Str(std::string_view bytes);
    // The finished packet; the writer is spent.
    std::string Take();

private:
    std::string bytes_;
    uint32_t id_;
};

// Reads the fields of one reply's body; any read past the end leaves Ok() false.
class PacketReader {
public:
    explicit PacketReader(std::string_view body) : rest_(body) {}
    bool Ok() const { return ok_; }
    bool AtEnd() const { return rest_.empty(); }
    uint32_t U32();
    uint64_t U64();
    std::string_view Str();

private:
    std::string_view Take(std::size_t n);
    std::string_view rest_;
    bool ok_ = true;
};

// The attributes of a file that the store reads.
struct Attributes {
    std::optional<uint64_t> size;
    std::optional<uint32_t> permissions;
    std::optional<uint32_t> mtime;  // seconds since 1970, UTC
    bool IsRegular() const;
};
Attributes ReadAttributes(PacketReader& in);

// A reply as it came: its type, the request id it answers (the version for kFxpVersion) and
// the rest of its body.
struct Reply {
    uint8_t type = 0;
    uint32_t id = 0;
    std::string body;
};

// Cuts the complete packets off the front of a stream of received bytes. A length beyond
// kMaxPacket or below the header is a broken stream: false.
class PacketSplitter {
public:
    // Appends received bytes.
    void Feed(const char* data, std::size_t n) { pending_.append(data, n); }
    // The next complete reply, if there is one, its body in storage; *broken when the stream
    // cannot be read.
    std::optional<Reply> Next(bool* broken, std::string storage = std::string());

private:
    std::string pending_;
    std::size_t start_ = 0;
};

}  // namespace korvane::sftp
