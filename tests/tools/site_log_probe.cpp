// Ends one transfer in the host's list of jobs with the site log installed, and prints what the
// machine's log received. In a private mount namespace ("journal", "syslog") the probe listens
// itself where the journal or syslog(3) write, so no machine log is needed or touched; "machine"
// sends to the machine's own log, where the test reads it back with journalctl.
//
//   site_log_probe journal|syslog|machine <transfer log> <order>
// Exit status: 0 received (printed on stdout), 3 nothing within 5 s, 77 no private namespace.
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <cstdio>
#include <cstring>
#include <string>

#include "RunningJobs.h"
#include "SiteLog.h"

namespace {
constexpr int kNoNamespace = 77;

// A datagram socket bound at path; -1 on failure.
int Listen(const char* path) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path, sizeof address.sun_path - 1);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return -1;
    }
    return fd;
}

// A tmpfs of its own over /run (and /dev for syslog), seen by this process alone; the socket
// where the chosen log is written.
int PrivateLog(const std::string& mode) {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", "/run", "tmpfs", 0, "mode=755") != 0) {
        std::perror("site_log_probe: private namespace");
        std::exit(kNoNamespace);
    }
    if (mode == "journal") {
        ::mkdir("/run/systemd", 0755);
        ::mkdir("/run/systemd/journal", 0755);
        return Listen("/run/systemd/journal/socket");
    }
    if (::mount("tmpfs", "/dev", "tmpfs", 0, "mode=755") != 0) {
        std::perror("site_log_probe: /dev");
        std::exit(kNoNamespace);
    }
    return Listen("/dev/log");
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: site_log_probe journal|syslog|machine <log> <order>\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const std::string mode = argv[1];
    const int fd = mode == "machine" ? -1 : PrivateLog(mode);
    if (mode != "machine" && fd < 0) {
        std::perror("site_log_probe: socket");
        return 1;
    }
    telmaris::InstallSiteLog(501);
    auto& jobs = telmaris::RunningJobs::Instance();
    jobs.SetLogPath(QString::fromLocal8Bit(argv[2]));
    QObject job;
    telmaris::JobInfo info;
    info.order = QString::fromLocal8Bit(argv[3]);
    info.file = info.order + QStringLiteral("_probe.txt");
    info.operatorId = 501;
    jobs.Add(&job, info, {});
    jobs.End(&job, telmaris::RunningJobs::State::Succeeded, QString(), 4096);
    if (fd < 0) {
        return 0;
    }
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1) {
        return 3;
    }
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
        return 3;
    }
    std::fwrite(buffer, 1, static_cast<size_t>(n), stdout);
    return 0;
}
