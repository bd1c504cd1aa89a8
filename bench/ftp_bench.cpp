// FTP throughput: CFTPClient against curl on the same vsftpd on loopback, in one run, alternating,
// medians of several rounds, for each way of reaching the server: plain active and passive, FTPS
// (explicit, PROT P, session reuse) against `curl --ssl-reqd`, with both ends on disk and on a
// tmpfs, where the client's own cost shows. Each transfer runs in a child process so its peak
// resident memory and its CPU time per GiB can be read (on a busy machine the CPU time, not the
// speed, is what a client controls); a small and a large file show whether memory grows with size.
//
//   ftp_bench [MiB] [rounds] [filter]   (defaults: 1024 MiB, 3 rounds, every scenario whose name
//                                        contains filter)
// curl's active FTPS is left out: this curl fails its PORT ("sa_addr inet_ntop() failed").
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "BenchFiles.h"
#include "BenchRuns.h"
#include "CFTPClient.h"
#include "support/FtpServers.h"
#include "support/TestCertificate.h"

namespace {

using korvane::bench::Contender;
using korvane::bench::MakeFile;
using korvane::bench::Median;

bool Curl(const QStringList& args) {
    return QProcess::execute(QStringLiteral("curl"),
                             QStringList{"-s", "-S", "--max-time", "900"} + args) == 0;
}

struct Scenario {
    const char* name;
    bool passive;
    bool tls;
    bool tmpfs;
};

// Runs one scenario on a vsftpd of its own; false when a transfer failed or the bytes differ.
bool Measure(const Scenario& how, qint64 mib, int rounds,
             const korvane::test::TestCertificate& cert) {
    // Both ends live in the server's temporary directory, which TMPDIR places.
    qputenv("TMPDIR", how.tmpfs ? "/dev/shm" : "/var/tmp");
    korvane::test::VsftpdServer server(
        how.tls ? korvane::test::VsftpdServer::TlsConfig(cert.PemFile(), false) : QString());
    if (!server.Started()) {
        std::fprintf(stderr, "vsftpd: %s\n", qPrintable(server.Error()));
        return false;
    }
    const QString local = server.Home() + QStringLiteral("/../../local");
    QDir().mkpath(local);
    const QString source = local + QStringLiteral("/source.bin");
    MakeFile(source, mib);
    const QByteArray url = QStringLiteral("ftp://anonymous:@%1/pub/").arg(server.Server()).toUtf8();
    const QByteArray server8 = server.Server().toUtf8();
    CFTPClient::Options options;
    options.mode = how.passive ? ftp::DataMode::Passive : ftp::DataMode::Active;
    options.tls = {
        how.tls ? ftp::TlsMode::Explicit : ftp::TlsMode::Off, cert.CertFile().toStdString(), {}};
    QStringList curlHow;
    if (!how.passive) {
        curlHow << "-P"
                << "127.0.0.1";
    }
    if (how.tls) {
        curlHow << "--ssl-reqd"
                << "--cacert" << cert.CertFile();
    }

    auto ours = [&](const std::function<bool(CFTPClient&)>& work) {
        CFTPClient c;
        c.SetOptions(options);
        return c.Connect(server8, "anonymous", "") && c.SetCurrentDirectory("/pub") && work(c);
    };
    auto ourPut = [&] {
        return ours(
            [&](CFTPClient& c) { return c.PutFile("ours.bin", QFile::encodeName(source)); });
    };
    auto ourGet = [&] {
        const QByteArray target = QFile::encodeName(local + QStringLiteral("/ours.down"));
        QFile::remove(QString::fromUtf8(target));
        return ours([&](CFTPClient& c) { return c.GetFile("ours.bin", target, -1); });
    };
    auto curlPut = [&] {
        return Curl(curlHow + QStringList{"-T", source, QString::fromUtf8(url + "curl.bin")});
    };
    auto curlGet = [&] {
        return Curl(curlHow + QStringList{"-o", local + QStringLiteral("/curl.down"),
                                          QString::fromUtf8(url + "curl.bin")});
    };

    // An upload is registered with the file's SHA-256, which curl does not compute: the same
    // work is curl with OpenSSL's SHA-256 of the file beside it, on the same cores.
    auto curlPutDigested = [&] {
        QProcess digest;
        digest.start(QStringLiteral("openssl"),
                     {QStringLiteral("dgst"), QStringLiteral("-sha256"), source});
        const bool sent = curlPut();
        return digest.waitForFinished(900000) && digest.exitCode() == 0 && sent;
    };

    Contender ourSide{"korvane", ourPut, ourGet, {}, {}, {}, {}};
    Contender curl{"curl", curlPut, curlGet, {}, {}, {}, {}};
    Contender digested{"curl+openssl dgst", curlPutDigested, [] { return true; }, {}, {}, {}, {}};
    for (int r = 0; r < rounds; ++r) {
        // Alternate who goes first, so neither always meets a cold or a warm cache.
        Contender& first = r % 2 == 0 ? ourSide : curl;
        Contender& second = r % 2 == 0 ? curl : ourSide;
        if (!first.Round() || !second.Round() || !digested.Round()) {
            return false;
        }
    }
    const bool identical = QProcess::execute(QStringLiteral("cmp"),
                                             {source, local + QStringLiteral("/ours.down")}) == 0;
    // Throughput depends on what else the machine runs; the CPU time a client spends per GiB
    // shows its own cost.
    auto line = [&](const char* what, const std::vector<double>& o, const std::vector<double>& c,
                    const std::vector<double>& oCpu, const std::vector<double>& cCpu, long rss) {
        const double a = static_cast<double>(mib) * 1.048576 / Median(o);
        const double b = static_cast<double>(mib) * 1.048576 / Median(c);
        const double gib = static_cast<double>(mib) / 1024.0;
        std::printf(
            "%-22s %-8s korvane %7.1f MB/s  curl %7.1f MB/s  ratio %.2f  "
            "CPU s/GiB %.2f vs %.2f  peak RSS %ld KiB\n",
            how.name, what, a, b, a / b, Median(oCpu) / gib, Median(cCpu) / gib, rss);
    };
    line("upload", ourSide.up, curl.up, ourSide.upCpu, curl.upCpu, ourSide.upRss);
    line("download", ourSide.down, curl.down, ourSide.downCpu, curl.downCpu, ourSide.downRss);
    const double same = Median(digested.up) / Median(ourSide.up);
    std::printf(
        "%-22s %-8s against curl with openssl dgst beside it: ratio %.2f  "
        "(their CPU s/GiB %.2f)\n",
        how.name, "upload", same, Median(digested.upCpu) / (static_cast<double>(mib) / 1024.0));
    if (!identical) {
        std::printf("%s: download NOT byte-identical\n", how.name);
    }
    QDir(local).removeRecursively();
    return identical;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const korvane::test::TestCertificate cert;
    if (!cert.Made()) {
        std::fprintf(stderr, "certificate: %s\n", qPrintable(cert.Error()));
        return 2;
    }
    std::printf("ftp: %lld MiB file, vsftpd on loopback, median of %d rounds\n",
                static_cast<long long>(mib), rounds);
    const Scenario scenarios[] = {
        {"plain active disk", false, false, false}, {"plain active tmpfs", false, false, true},
        {"plain passive tmpfs", true, false, true}, {"FTPS passive disk", true, true, false},
        {"FTPS passive tmpfs", true, true, true},
    };
    const QString filter = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    bool ok = true;
    for (const Scenario& s : scenarios) {
        if (!QString::fromLatin1(s.name).contains(filter)) {
            continue;
        }
        ok = Measure(s, mib, rounds, cert) && ok;
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
