#include "FtpServerMemory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "LocalFile.h"

namespace ftp {

namespace {

const char* FactName(ServerFact fact) {
    return fact == ServerFact::ActiveFails ? "passive" : "tls";
}

// mkdir -p with the operator's private permissions.
bool MakeFolder(const std::string& folder) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at == folder.size() || folder[at] == '/') {
            const std::string part = folder.substr(0, at);
            if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
                return false;
            }
        }
    }
    return true;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    ::lseek(fd, 0, SEEK_SET);
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

bool Holds(const std::string& text, const std::string& line) {
    std::size_t at = 0;
    while ((at = text.find(line, at)) != std::string::npos) {
        const bool starts = at == 0 || text[at - 1] == '\n';
        const std::size_t end = at + line.size();
        if (starts && (end == text.size() || text[end] == '\n')) {
            return true;
        }
        at = end;
    }
    return false;
}

}  // namespace

ServerMemory::ServerMemory(std::string folder)
    : folder_(std::move(folder)), path_(folder_ + "/ftp-servers") {}

std::string ServerMemory::DefaultFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/telmaris";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/state/telmaris";
    }
    return std::string();
}

std::string ServerMemory::Key(const std::string& host, unsigned port) {
    std::string lower = host;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return "[" + lower + "]:" + std::to_string(port);
}

bool ServerMemory::Knows(const std::string& key, ServerFact fact) const {
    LocalFile file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid() || ::flock(file.Fd(), LOCK_SH) != 0) {
        return false;
    }
    return Holds(ReadAll(file.Fd()), std::string(FactName(fact)) + " " + key);
}

bool ServerMemory::Remember(const std::string& key, ServerFact fact) const {
    if (!MakeFolder(folder_)) {
        return false;
    }
    LocalFile file(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!file.Valid() || ::flock(file.Fd(), LOCK_EX) != 0) {
        return false;
    }
    const std::string line = std::string(FactName(fact)) + " " + key;
    const std::string text = ReadAll(file.Fd());
    if (Holds(text, line)) {
        return true;
    }
    // A line cut short by a crash must not swallow the next one.
    const std::string add = (text.empty() || text.back() == '\n' ? "" : "\n") + line + "\n";
    ::lseek(file.Fd(), 0, SEEK_END);
    return WriteAll(file.Fd(), add.data(), add.size()) && ::fsync(file.Fd()) == 0;
}

}  // namespace ftp
