#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace ftp {

// Which remote file a local partial copy copies, kept in the extended attribute
// user.korvane.remote of the local file, so that a resume only ever continues the same file.
struct RemoteVersion {
    std::string server;
    std::string directory;
    std::string name;
    std::optional<uint64_t> size;
    std::optional<std::time_t> modified;

    std::string Serialize() const;
};

enum class RecordCheck {
    Matches,      // the local copy was taken from this very version
    Differs,      // another version, another file, or a copy of unknown origin
    Unsupported,  // the file system keeps no extended attributes: the overlap alone decides
};

RecordCheck CheckRecord(int fd, const RemoteVersion& current);
// Records current on fd; a file system without extended attributes is not an error.
void WriteRecord(int fd, const RemoteVersion& current);

}  // namespace ftp
