// SFTP throughput: our store against OpenSSH's sftp (its default cipher and AES-GCM, ours) and
// curl (libssh2) on the same sshd on loopback, both ends on a tmpfs, in one run, the order of
// the clients turning each round, medians of several rounds. Each transfer runs in a child
// process so its peak resident memory can be read.
//
//   sftp_bench [MiB] [rounds]   (defaults: 1024 MiB, 3 rounds)
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <cstdio>
#include <vector>

#include "BenchFiles.h"
#include "BenchRuns.h"
#include "SftpStore.h"
#include "support/Files.h"
#include "support/SshServer.h"

namespace {

using korvane::bench::Contender;
using korvane::bench::MakeFile;
using korvane::bench::Median;
using korvane::test::SshServer;

constexpr int kToolTimeoutMs = 900 * 1000;

bool Tool(const QString& program, const QStringList& args) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());  // sftp echoes its batch
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    return p.waitForFinished(kToolTimeoutMs) && p.exitStatus() == QProcess::NormalExit &&
           p.exitCode() == 0;
}

// Where the clients put and find their files, and how they reach the server.
struct Setup {
    const SshServer& server;
    QString local;  // the client side's folder
    QString source;
    QString knownHosts;

    QString Remote(const char* name) const { return server.PathOf(QString::fromLatin1(name)); }
    QString Local(const char* name) const { return local + u'/' + QString::fromLatin1(name); }
};

bool Ours(const Setup& s, bool put) {
    korvane::sftp::SftpOptions options;
    options.hostKeys = {s.server.HostKeyFingerprint()};
    options.keyFile = s.server.ClientKey();
    options.knownHostsFiles = {};
    auto store =
        korvane::sftp::MakeSftpStore({s.server.Server(), s.server.User(), {}, s.server.Home()},
                                     options, korvane::store::Timeouts::All(30000), nullptr);
    if (!store->Open().Ok()) {
        return false;
    }
    QFile::remove(s.Local("ours.down"));
    const korvane::store::Result r =
        put ? store->Put(s.source, QStringLiteral("ours.bin"), nullptr, 0)
            : store->Get(QStringLiteral("ours.bin"), s.Local("ours.down"));
    if (!r.Ok()) {
        std::fprintf(stderr, "korvane: %s\n", qPrintable(r.reason));
    }
    return r.Ok();
}

bool OpenSsh(const Setup& s, bool put, const QStringList& cipher, const char* name) {
    const QString batch = s.Local(put ? "put.batch" : "get.batch");
    const QString remote = s.Remote(name);
    const QString line = put ? QStringLiteral("put %1 %2\n").arg(s.source, remote)
                             : QStringLiteral("get %1 %2\n").arg(remote, s.Local(name));
    korvane::test::WriteFile(batch, line.toUtf8());
    return Tool(QStringLiteral("sftp"),
                cipher + QStringList{"-q", "-b", batch, "-i", s.server.ClientKey(), "-o",
                                     "IdentitiesOnly=yes", "-o", "BatchMode=yes", "-o",
                                     "StrictHostKeyChecking=yes", "-o",
                                     "UserKnownHostsFile=" + s.knownHosts, "-P",
                                     QString::number(s.server.Port()),
                                     s.server.User() + QStringLiteral("@127.0.0.1")});
}

bool Curl(const Setup& s, bool put) {
    const QString url =
        QStringLiteral("sftp://127.0.0.1:%1%2").arg(s.server.Port()).arg(s.Remote("curl.bin"));
    const QStringList how{"-s",
                          "-S",
                          "--max-time",
                          "900",
                          "-u",
                          s.server.User() + u':',
                          "--key",
                          s.server.ClientKey(),
                          "--pubkey",
                          s.server.ClientKey() + ".pub",
                          "--hostpubsha256",
                          s.server.HostKeyFingerprint().mid(7)};
    return Tool(QStringLiteral("curl"), how + (put ? QStringList{"-T", s.source, url}
                                                   : QStringList{"-o", s.Local("curl.down"), url}));
}

double MBps(qint64 mib, const std::vector<double>& seconds) {
    return static_cast<double>(mib) * 1.048576 / Median(seconds);
}

// Speeds, and each rival's ratio twice: of the medians, and the median of the rounds' own ratios,
// which a machine whose load drifts between rounds disturbs less.
void Report(const char* what, qint64 mib, std::vector<Contender>& all, bool up) {
    auto times = [up](const Contender& c) { return up ? c.up : c.down; };
    std::printf("%-8s", what);
    for (const Contender& c : all) {
        std::printf("  %s %7.1f MB/s", c.name, MBps(mib, times(c)));
    }
    std::printf("\n%-8s", "");
    for (std::size_t i = 1; i < all.size(); ++i) {
        std::vector<double> paired;
        for (std::size_t r = 0; r < times(all[0]).size(); ++r) {
            paired.push_back(times(all[i])[r] / times(all[0])[r]);
        }
        std::printf("  korvane/%s %.2f (rounds %.2f)", all[i].name,
                    MBps(mib, times(all[0])) / MBps(mib, times(all[i])), Median(paired));
    }
    std::printf("  korvane peak RSS %ld KiB\n", up ? all[0].upRss : all[0].downRss);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    qputenv("TMPDIR", "/dev/shm");  // the server's home and the client's folder on a tmpfs
    SshServer server;
    if (!server.Started()) {
        std::fprintf(stderr, "sshd: %s\n", qPrintable(server.Error()));
        return 2;
    }
    QTemporaryDir localDir;
    Setup s{server, localDir.path(), localDir.filePath(QStringLiteral("source.bin")),
            localDir.filePath(QStringLiteral("known_hosts"))};
    MakeFile(s.source, mib);
    korvane::test::WriteFile(s.knownHosts, QStringLiteral("[127.0.0.1]:%1 %2\n")
                                               .arg(server.Port())
                                               .arg(server.HostKeyLine())
                                               .toUtf8());
    const QStringList gcm{"-c", "aes128-gcm@openssh.com"};
    std::vector<Contender> all{
        {"korvane", [&] { return Ours(s, true); }, [&] { return Ours(s, false); }, {}, {}, {}, {}},
        {"sftp",
         [&] { return OpenSsh(s, true, {}, "sftp.bin"); },
         [&] { return OpenSsh(s, false, {}, "sftp.bin"); },
         {},
         {},
         {},
         {}},
        {"sftp-gcm",
         [&] { return OpenSsh(s, true, gcm, "gcm.bin"); },
         [&] { return OpenSsh(s, false, gcm, "gcm.bin"); },
         {},
         {},
         {},
         {}},
        {"curl", [&] { return Curl(s, true); }, [&] { return Curl(s, false); }, {}, {}, {}, {}},
    };
    std::printf("sftp: %lld MiB file, sshd on loopback, tmpfs both ends, median of %d rounds\n",
                static_cast<long long>(mib), rounds);
    for (int r = 0; r < rounds; ++r) {
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (!all[(i + static_cast<std::size_t>(r)) % all.size()].Round()) {
                return 1;
            }
        }
    }
    Report("upload", mib, all, true);
    Report("download", mib, all, false);
    const bool identical =
        QProcess::execute(QStringLiteral("cmp"), {s.source, s.Local("ours.down")}) == 0 &&
        QProcess::execute(QStringLiteral("cmp"), {s.source, s.Remote("ours.bin")}) == 0;
    if (!identical) {
        std::printf("korvane's copies are NOT byte-identical\n");
    }
    return identical ? 0 : 1;
}
