// Long transfers through the window's path (a worker, the progress dialog, the GUI thread in an
// event loop) against CFTPClient alone, on the same vsftpd on loopback, in one run, alternating,
// medians of several rounds; the longest gap between two ticks of a 10 ms timer on the GUI thread
// while the window's transfers ran, and the peak resident memory.
//
//   transfer_bench [MiB] [rounds]     (defaults: 1024 MiB, 3 rounds; offscreen unless a display
//                                      platform is set)
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "BenchFiles.h"
#include "CFTPClient.h"
#include "Transfer.h"
#include "TransferDialog.h"
#include "TransferJob.h"
#include "support/FtpServers.h"

namespace {

using korvane::bench::MakeFile;
using korvane::bench::Median;

double Seconds(const std::function<bool()>& work) {
    QElapsedTimer t;
    t.start();
    if (!work()) {
        std::fprintf(stderr, "a transfer failed\n");
        std::exit(1);
    }
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const qint64 mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    qputenv("TMPDIR", "/var/tmp");
    korvane::test::VsftpdServer server;
    if (!server.Started()) {
        std::fprintf(stderr, "vsftpd: %s\n", qPrintable(server.Error()));
        return 2;
    }
    const QString local = server.Home() + QStringLiteral("/../../local");
    QDir().mkpath(local);
    const QString source = local + QStringLiteral("/source.bin");
    const QString target = local + QStringLiteral("/back.bin");
    MakeFile(source, mib);

    korvane::TransferRequest job;
    job.settings.endpoint.server = server.Server();
    job.settings.endpoint.user = QStringLiteral("anonymous");
    job.settings.endpoint.folder = QStringLiteral("/pub");
    job.settings.viaTemporary = true;
    auto bare = [&](bool up) {
        QFile::remove(target);
        CFTPClient c;
        CFTPClient::Options options = job.settings.ftp;
        options.storeViaPart = job.settings.viaTemporary;
        c.SetOptions(options);
        return c.Connect(server.Server().toUtf8(), "anonymous", "") &&
               c.SetCurrentDirectory("/pub") &&
               (up ? c.PutFile("bare.bin", QFile::encodeName(source))
                   : c.GetFile("bare.bin", QFile::encodeName(target), -1));
    };
    QWidget owner;
    owner.resize(640, 480);
    owner.show();
    qint64 longestGap = 0;
    auto window = [&](bool up) {
        QFile::remove(target);
        job.direction = up ? korvane::Direction::Upload : korvane::Direction::Download;
        job.remote = QStringLiteral("window.bin");
        job.local = up ? source : target;
        QElapsedTimer since;
        since.start();
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { longestGap = std::max(longestGap, since.restart()); });
        tick.start(10);
        // The job as the window runs it, with its dialog; the bench waits in an event loop of
        // its own as the host would.
        korvane::TransferJob transfer(job);
        QEventLoop loop;
        QObject::connect(&transfer, &korvane::TransferJob::finished, &loop, &QEventLoop::quit);
        std::unique_ptr<korvane::TransferDialog> dialog(
            korvane::TransferDialog::ShowLater(&owner, transfer));
        transfer.Start();
        loop.exec();
        return transfer.Outcome().Succeeded();
    };
    std::vector<double> bareUp, bareDown, windowUp, windowDown;
    for (int r = 0; r < rounds; ++r) {
        const bool windowFirst = r % 2 == 0;
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == windowFirst) {
                windowUp.push_back(Seconds([&] { return window(true); }));
                windowDown.push_back(Seconds([&] { return window(false); }));
            } else {
                bareUp.push_back(Seconds([&] { return bare(true); }));
                bareDown.push_back(Seconds([&] { return bare(false); }));
            }
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double mb = static_cast<double>(mib) * 1.048576;
    std::printf("transfers: %lld MiB, vsftpd on loopback, active mode, median of %d rounds\n",
                static_cast<long long>(mib), rounds);
    std::printf("upload    window %7.1f MB/s  bare %7.1f MB/s  ratio %.2f\n", mb / Median(windowUp),
                mb / Median(bareUp), Median(bareUp) / Median(windowUp));
    std::printf("download  window %7.1f MB/s  bare %7.1f MB/s  ratio %.2f\n",
                mb / Median(windowDown), mb / Median(bareDown),
                Median(bareDown) / Median(windowDown));
    std::printf("longest gap between GUI timer ticks: %lld ms; peak RSS %ld KiB\n",
                static_cast<long long>(longestGap), usage.ru_maxrss);
    QDir(local).removeRecursively();
    return 0;
}
