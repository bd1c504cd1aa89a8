#include "LocalFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace ftp {

int OpenDownloadTarget(const char* path, bool* created) {
    // Private until the download is done (see MakeDownloadPublic).
    int fd = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    *created = fd >= 0;
    if (fd < 0 && errno == EEXIST) {
        // A link planted in a shared download folder must not redirect the write elsewhere,
        // and only the operator's own regular file can be resumed: another user's file in a
        // shared folder is not the operator's copy to continue.
        fd = ::open(path, O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        struct stat st {};
        if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid())) {
            ::close(fd);
            errno = EPERM;
            fd = -1;
        } else if (fd < 0 && errno == ELOOP) {
            errno = EPERM;
        }
    }
    if (fd < 0) {
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

void MakeDownloadPublic(int fd) {
    // The umask is read, not set and restored: other threads create files meanwhile.
    mode_t mask = 022;
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[128];
        unsigned value = 0;
        while (std::fgets(line, sizeof line, status) != nullptr) {
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(status);
    }
    fchmod(fd, 0666 & ~mask);
}

bool WriteAll(int fd, const char* data, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t k = ::write(fd, data + done, n - done);
        if (k < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(k);
    }
    return true;
}

bool SameBytesAt(int fd, int64_t offset, const char* data, std::size_t n) {
    std::vector<char> held(n);
    std::size_t done = 0;
    while (done < n) {
        const ssize_t k = ::pread(fd, held.data() + done, n - done,
                                  static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (k <= 0) {
            if (k < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(k);
    }
    return std::memcmp(held.data(), data, n) == 0;
}

}  // namespace ftp
