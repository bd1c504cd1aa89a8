#include "ResumeRecord.h"

#include <sys/xattr.h>

#include <cerrno>
#include <vector>

namespace ftp {

namespace {
constexpr const char* kAttribute = "user.korvane.remote";

std::string Optional(const std::optional<uint64_t>& v) {
    return v ? std::to_string(*v) : std::string("-");
}
}  // namespace

std::string RemoteVersion::Serialize() const {
    return server + "\n" + directory + "\n" + name + "\n" + Optional(size) + "\n" +
           (modified ? std::to_string(static_cast<long long>(*modified)) : std::string("-"));
}

RecordCheck CheckRecord(int fd, const RemoteVersion& current) {
    std::vector<char> buffer(4096);
    const ssize_t n = fgetxattr(fd, kAttribute, buffer.data(), buffer.size());
    if (n < 0) {
        return errno == ENOTSUP ? RecordCheck::Unsupported : RecordCheck::Differs;
    }
    return std::string(buffer.data(), static_cast<std::size_t>(n)) == current.Serialize()
               ? RecordCheck::Matches
               : RecordCheck::Differs;
}

void WriteRecord(int fd, const RemoteVersion& current) {
    const std::string value = current.Serialize();
    fsetxattr(fd, kAttribute, value.data(), value.size(), 0);
}

}  // namespace ftp
