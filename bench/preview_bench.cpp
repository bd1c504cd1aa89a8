// From a selection to the first page of a 20-page PDF of about 5 MB, over loopback FTP: the
// preview pane fetching it through the site's store (compared with the bare fetch of the same
// bytes, which is the transfer), and again from the verified copy in the cache.
// Usage: preview_bench [rounds]
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "PreviewFetch.h"
#include "PreviewPane.h"
#include "support/FtpServers.h"
#include "support/PreviewDocuments.h"

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Waits in an event loop for signal of sender; the milliseconds it took from start(), or -1.
template <class Sender, class Signal, class Start>
double Timed(Sender* sender, Signal signal, Start start) {
    QEventLoop loop;
    bool done = false;
    QObject::connect(sender, signal, &loop, [&] {
        done = true;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    start();
    if (!done) {
        loop.exec();
    }
    return done ? static_cast<double>(clock.nsecsElapsed()) / 1e6 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("KORVANE_PREVIEW_RENDER")) {
        qputenv("KORVANE_PREVIEW_RENDER", KORVANE_PREVIEW_RENDER_PATH);
    }
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    korvane::test::PyFtpServer server;
    if (!server.Started()) {
        std::fprintf(stderr, "preview_bench: %s\n", qPrintable(server.Error()));
        return 1;
    }
    const QByteArray pdf = korvane::test::MakePdf(20, 5 * 1024 * 1024);
    server.Put(QStringLiteral("7000_contract.pdf"), pdf);
    korvane::PreviewSource source;
    source.name = source.remote = QStringLiteral("7000_contract.pdf");
    source.expected = korvane::ExpectedFile{
        static_cast<uint64_t>(pdf.size()),
        QString::fromLatin1(QCryptographicHash::hash(pdf, QCryptographicHash::Sha256).toHex())};
    source.request.settings.endpoint = {server.Server(), QString::fromLatin1(server.User()),
                                        QString::fromLatin1(server.Password()),
                                        QStringLiteral("/")};
    source.request.timeouts = korvane::store::Timeouts::All(30000);
    QTemporaryDir cacheDir;
    const korvane::PreviewCache cache(cacheDir.filePath(QStringLiteral("preview")), 1LL << 30);
    std::vector<double> transfer, fetched, hit, kept;
    for (int i = 0; i < rounds; ++i) {
        QDir(cache.Folder()).removeRecursively();
        korvane::TransferRequest request = source.request;
        request.remote = source.remote;
        korvane::PreviewFetch bare(request, *source.expected, cache);
        transfer.push_back(Timed(&bare, &korvane::PreviewFetch::ended, [&] { bare.Start(); }));
        QDir(cache.Folder()).removeRecursively();
        // A new pane each time: no page of an earlier round is kept in its memory.
        for (std::vector<double>* times : {&fetched, &hit}) {
            korvane::PreviewPane pane;
            pane.SetCache(cache);
            pane.resize(700, 900);
            pane.show();
            times->push_back(
                Timed(&pane, &korvane::PreviewPane::shown, [&] { pane.Show(source); }));
            if (times == &hit) {
                pane.Clear();
                kept.push_back(
                    Timed(&pane, &korvane::PreviewPane::shown, [&] { pane.Show(source); }));
            }
            if (pane.Pages() != 20) {
                std::fprintf(stderr, "preview_bench: %d pages shown, not 20 (%s)\n", pane.Pages(),
                             qPrintable(pane.Message()));
                return 1;
            }
        }
    }
    const double t = Median(transfer);
    const double f = Median(fetched);
    const double h = Median(hit);
    const double k = Median(kept);
    std::printf("preview of a 20-page PDF of %.1f MiB over loopback FTP, median of %d rounds\n",
                static_cast<double>(pdf.size()) / (1 << 20), rounds);
    std::printf("  transfer alone (into the cache, verified)  %8.1f ms\n", t);
    std::printf(
        "  selection to first page, fetched           %8.1f ms  (transfer + %.1f ms; goal: "
        "transfer + 1000 ms)\n",
        f, f - t);
    std::printf(
        "  selection to first page, cache hit         %8.1f ms  (%.2f of the 200 ms goal; "
        "the file verified and its page decoded)\n",
        h, h / 200.0);
    std::printf(
        "  the same, the page drawn before            %8.1f ms  (%.2f of the 200 ms goal; "
        "the file verified, the page kept)\n",
        k, k / 200.0);
    return 0;
}
