// The preview: what is drawn is the registered content (fetched through the store into the
// private cache and checked first), each kind of file as it should look, hostile files refused
// by the helper within its bounds, and the cache kept owner-only and within its size.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "PageRenderer.h"
#include "PreviewCache.h"
#include "PreviewPane.h"
#include "PreviewPaneViews.h"
#include "support/Files.h"
#include "support/FtpServers.h"
#include "support/PreviewDocuments.h"
#include "support/ScriptedStore.h"

namespace {

using korvane::PreviewPane;
using korvane::test::ScriptedStore;
using State = PreviewPane::State;

constexpr int kBoundMs = 20000;

korvane::ExpectedFile Record(const QByteArray& bytes) {
    return {static_cast<uint64_t>(bytes.size()), ScriptedStore::Sha256(bytes)};
}

// Whether the middle of image is the colour of page (the renderers blend a little).
bool ShowsPage(const QImage& image, int page) {
    if (image.isNull()) {
        return false;
    }
    const QColor seen = image.pixelColor(image.width() / 2, image.height() / 2);
    const QColor want = korvane::test::PageColour(page);
    return std::abs(seen.red() - want.red()) < 24 && std::abs(seen.green() - want.green()) < 24 &&
           std::abs(seen.blue() - want.blue()) < 24;
}

int Mode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0
               ? static_cast<int>(st.st_mode & 0777)
               : -1;
}

class PreviewTest : public QObject, public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("KORVANE_PREVIEW_RENDER",
                QByteArray(KORVANE_BINARY_DIR "/host/app/korvane-preview-render"));
        pane.SetCache(
            korvane::PreviewCache(cacheDir.filePath(QStringLiteral("preview")), 64 << 20));
        // One folder per remote name: a hanging fetch leaves its session dead, not the others.
        pane.SetStoreFactory([this](const korvane::TransferRequest& r) {
            return std::make_unique<ScriptedStore>(FolderOf(r.remote));
        });
        pane.resize(600, 800);
    }
    void TearDown() override { qunsetenv("KORVANE_PREVIEW_RENDER"); }

    std::shared_ptr<ScriptedStore::Folder> FolderOf(const QString& remote) {
        auto& folder = folders[remote];
        if (!folder) {
            folder = std::make_shared<ScriptedStore::Folder>();
        }
        return folder;
    }
    // Puts stored under name on the store; the row's record says registered.
    korvane::PreviewSource Source(const QString& name, const QByteArray& stored,
                                  const QByteArray& registered) {
        FolderOf(name)->files[name] = stored;
        korvane::PreviewSource source;
        source.name = source.remote = name;
        source.expected = Record(registered);
        source.who = QStringLiteral("张三");
        source.when = QStringLiteral("2026-12-09 10:32:00");
        return source;
    }
    korvane::PreviewSource Source(const QString& name, const QByteArray& bytes) {
        return Source(name, bytes, bytes);
    }
    // Shows source and waits for what the pane ends on; true when something was drawn.
    bool Show(const korvane::PreviewSource& source) {
        QSignalSpy shown(&pane, &PreviewPane::shown);
        QSignalSpy stopped(&pane, &PreviewPane::stopped);
        pane.Show(source);
        return Settle(shown, stopped);
    }
    bool Turn(int delta) {
        QSignalSpy shown(&pane, &PreviewPane::shown);
        QSignalSpy stopped(&pane, &PreviewPane::stopped);
        return pane.TurnPage(delta) && Settle(shown, stopped);
    }
    // Waits in an event loop of its own (QTest::qWaitFor sleeps between its rounds, which
    // would slow the helper's answer through its pipe) for the pane's end.
    bool Settle(QSignalSpy& shown, QSignalSpy& stopped) {
        QEventLoop loop;
        QTimer::singleShot(kBoundMs, &loop, &QEventLoop::quit);
        connect(&pane, &PreviewPane::shown, &loop, &QEventLoop::quit);
        connect(&pane, &PreviewPane::stopped, &loop, &QEventLoop::quit);
        if (shown.isEmpty() && stopped.isEmpty()) {
            loop.exec();
        }
        EXPECT_FALSE(shown.isEmpty() && stopped.isEmpty()) << "neither shown nor stopped";
        return !shown.isEmpty();
    }
    qsizetype Gets(const QString& name) {
        return FolderOf(name)->Calls().filter(QStringLiteral("Get")).size();
    }

    QTemporaryDir cacheDir;
    std::map<QString, std::shared_ptr<ScriptedStore::Folder>> folders;
    PreviewPane pane;
};

// Each kind of file as the operator should see it: its pages in order, the text decoded.
TEST_F(PreviewTest, ShowsEachKindOfFile) {
    const QByteArray tiff = korvane::test::MakeTiff(3);
    ASSERT_FALSE(tiff.isEmpty()) << "tiffcp (libtiff-tools) is missing";
    struct Row {
        const char* name;
        QByteArray bytes;
        State state;
        int pages;
    };
    const Row rows[] = {
        {"7000_合同.pdf", korvane::test::MakePdf(4), State::Page, 4},
        {"7000_身份证.png", korvane::test::WriteImage(korvane::test::ScanPage(0), "png"),
         State::Page, 1},
        {"7000_执照.jpg", korvane::test::WriteImage(korvane::test::ScanPage(0), "jpeg"),
         State::Page, 1},
        {"7000_委托书.tif", tiff, State::Page, 3},
        // A scan saved under the wrong extension is still a scan.
        {"7000_scan.dat", korvane::test::WriteImage(korvane::test::ScanPage(0), "bmp"), State::Page,
         1},
        {"7000_说明.txt", QByteArray("\xba\xcf\xcd\xac\xca\xe9 GBK\n"), State::Text, 0},
        {"7000_readme.txt", QStringLiteral("合同书 UTF-8\n").toUtf8(), State::Text, 0},
        {"7000_data.zip",
         QByteArray("PK\x03\x04\x14\x00\x00\x00\x08\x00", 10) + QByteArray(64, '\0'), State::Info,
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(Show(Source(QString::fromUtf8(row.name), row.bytes)))
            << pane.Message().toStdString();
        ASSERT_EQ(pane.Current(), row.state);
        if (row.state == State::Text) {
            EXPECT_TRUE(pane.Text().startsWith(QStringLiteral("合同书")))
                << pane.Text().toStdString();
        }
        if (row.state != State::Page) {
            continue;
        }
        EXPECT_EQ(pane.Pages(), row.pages);
        for (int page = 0; page < row.pages; ++page) {
            EXPECT_TRUE(ShowsPage(pane.PageImage(), page)) << "page " << page;
            EXPECT_EQ(pane.Page(), page);
            EXPECT_EQ(Turn(1), page + 1 < row.pages);
        }
        EXPECT_TRUE(Turn(-1) || row.pages == 1);
    }
}

// A scan that came in sideways is turned; the drawn image is the page turned a quarter.
TEST_F(PreviewTest, TurnsAndZoomsAScan) {
    ASSERT_TRUE(Show(Source(QStringLiteral("7000_scan.png"),
                            korvane::test::WriteImage(korvane::test::ScanPage(0), "png"))));
    pane.View().ZoomBy(2.0);
    const QSize before = pane.View().Drawn().size();
    pane.Rotate();
    const QImage turned = pane.View().Drawn();
    EXPECT_EQ(turned.size(), before.transposed());
    // The dark band along the top is now along the right edge.
    EXPECT_LT(qGray(turned.pixel(turned.width() - 2, turned.height() / 2)), 40);
    EXPECT_GT(qGray(turned.pixel(2, turned.height() / 2)), 40);
}

// Bytes that differ from the registration are never drawn and never cached.
TEST_F(PreviewTest, AFileChangedOnTheServerShowsTheMismatch) {
    const QByteArray registered = korvane::test::MakePdf(2);
    const QByteArray changed = korvane::test::MakePdf(3);
    EXPECT_FALSE(Show(Source(QStringLiteral("7000_合同.pdf"), changed, registered)));
    EXPECT_EQ(pane.Current(), State::Message);
    EXPECT_TRUE(pane.Message().contains(QStringLiteral("不一致"))) << pane.Message().toStdString();
    EXPECT_TRUE(pane.PageImage().isNull());
    EXPECT_TRUE(QDir(pane.Cache().Folder()).entryList(QDir::Files).isEmpty());
}

// Damaged or hostile files: refused within the bounds, the host untouched. The last row is a
// decoder that never answers.
TEST_F(PreviewTest, HostileFilesAreRefusedWithinTheBound) {
    const QByteArray pdf = korvane::test::MakePdf(3);
    QByteArray bomb =
        "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
        "2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
        "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 9000000 9000000]>>endobj\n"
        "trailer<</Root 1 0 R>>\n%%EOF\n";
    // A BMP whose header claims 100,000 x 100,000 pixels of 24 bits.
    QByteArray bmp("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18);
    const auto le32 = [](int32_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
    bmp += le32(100000) + le32(100000) + QByteArray("\x01\0\x18\0", 4) + QByteArray(24, '\0') +
           QByteArray(1024, '\x7f');
    QTemporaryDir scripts;
    const QString silent = scripts.filePath(QStringLiteral("silent.sh"));
    korvane::test::WriteFile(silent, "#!/bin/sh\nexec sleep 60\n");
    QFile::setPermissions(silent, QFile::ReadOwner | QFile::ExeOwner);
    struct Row {
        const char* name;
        QByteArray bytes;
        QString helper;
    };
    const Row rows[] = {
        {"truncated.pdf", pdf.left(pdf.size() / 3), {}},
        {"bomb.pdf", bomb, {}},
        {"huge.bmp", bmp, {}},
        {"silent.pdf", pdf, silent},
    };
    pane.SetTimeLimitMs(3000);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.helper.isEmpty()) {
            qputenv("KORVANE_PREVIEW_RENDER", row.helper.toUtf8());
        }
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(Show(Source(QString::fromLatin1(row.name), row.bytes)));
        EXPECT_LT(clock.elapsed(), 15000);  // the 3 s bound, with room for a loaded machine
        EXPECT_TRUE(pane.Message().contains(QStringLiteral("无法显示")))
            << pane.Message().toStdString();
        EXPECT_TRUE(pane.PageImage().isNull());
    }
}

// A verified copy shows again without a transfer; a copy changed on disk is fetched anew.
TEST_F(PreviewTest, ACacheHitShowsWithoutATransfer) {
    const QByteArray pdf = korvane::test::MakePdf(2);
    const korvane::PreviewSource source = Source(QStringLiteral("7000_合同.pdf"), pdf);
    ASSERT_TRUE(Show(source));
    ASSERT_EQ(Gets(source.remote), 1);
    ASSERT_TRUE(Show(source));
    EXPECT_EQ(Gets(source.remote), 1);
    const QString copy = pane.ShownFile();
    EXPECT_EQ(Mode(pane.Cache().Folder()), 0700);
    EXPECT_EQ(Mode(copy), 0600);
    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.write("%PDF-tampered");
    file.close();
    ASSERT_TRUE(Show(source));
    EXPECT_EQ(Gets(source.remote), 2);
}

// The cache keeps within its bound by dropping the copies used longest ago.
TEST(PreviewCache, DropsTheOldestBeyondItsBound) {
    QTemporaryDir dir;
    korvane::PreviewCache cache(dir.filePath(QStringLiteral("c")), 250 * 1024);
    QString error;
    ASSERT_TRUE(cache.Prepare(&error));
    QList<korvane::ExpectedFile> files;
    for (unsigned i = 0; i < 3; ++i) {
        const QByteArray bytes = korvane::test::Pattern(100 * 1024, i + 1);
        files << Record(bytes);
        korvane::test::WriteFile(cache.PartOf(files.last()), bytes);
        ASSERT_FALSE(cache.Admit(cache.PartOf(files.last()), files.last()).isEmpty());
        // Used in order, a minute apart (the file times order the eviction).
        QFile copy(cache.PathOf(files.last()));
        ASSERT_TRUE(copy.open(QIODevice::ReadWrite));
        copy.setFileTime(QDateTime::currentDateTimeUtc().addSecs(60 * (i - 3)),
                         QFileDevice::FileModificationTime);
    }
    EXPECT_TRUE(cache.Find(files[0]).isEmpty());
    EXPECT_FALSE(cache.Find(files[1]).isEmpty());
    EXPECT_FALSE(cache.Find(files[2]).isEmpty());
    EXPECT_LE(cache.Used(), cache.Bound());
}

// Moving on while a fetch runs cancels it; the next row shows, the first is never drawn.
TEST_F(PreviewTest, MovingOnCancelsTheFetch) {
    const korvane::PreviewSource slow =
        Source(QStringLiteral("slow.pdf"), korvane::test::MakePdf(2));
    FolderOf(slow.remote)->hangAt = QStringLiteral("Get");
    pane.Show(slow);
    ASSERT_TRUE(QTest::qWaitFor([&] { return FolderOf(slow.remote)->hanging.load(); }, kBoundMs));
    ASSERT_EQ(pane.Current(), State::Fetching);
    ASSERT_TRUE(Show(Source(QStringLiteral("next.png"),
                            korvane::test::WriteImage(korvane::test::ScanPage(1), "png"))));
    EXPECT_TRUE(ShowsPage(pane.PageImage(), 1));
    EXPECT_TRUE(pane.Cache().Find(*slow.expected).isEmpty());
}

// Above korvane_preview_max the pane asks first and fetches nothing until told.
TEST_F(PreviewTest, ALargeFileAsksFirst) {
    const korvane::PreviewSource source = Source(
        QStringLiteral("big.png"), korvane::test::WriteImage(korvane::test::ScanPage(2), "png"));
    pane.SetMaxMiB(0);
    EXPECT_FALSE(Show(source));
    EXPECT_EQ(pane.Current(), State::Asking);
    EXPECT_EQ(Gets(source.remote), 0);
    auto* ask = pane.findChild<QPushButton*>();
    for (QPushButton* b : pane.findChildren<QPushButton*>()) {
        ask = b->text() == QStringLiteral("预览") ? b : ask;
    }
    QSignalSpy shown(&pane, &PreviewPane::shown);
    QTest::mouseClick(ask, Qt::LeftButton);
    ASSERT_TRUE(shown.wait(kBoundMs));
    EXPECT_TRUE(ShowsPage(pane.PageImage(), 2));
}

// Through a real FTP server and the site's store.
TEST_F(PreviewTest, FetchesOverFtp) {
    korvane::test::PyFtpServer& server = korvane::test::PyFtpServer::Shared();
    server.Reset();
    ASSERT_TRUE(server.Started()) << server.Error().toStdString();
    const QByteArray pdf = korvane::test::MakePdf(3);
    server.Put(QStringLiteral("7000_合同.pdf"), pdf);
    pane.SetStoreFactory(korvane::SiteStore);
    korvane::PreviewSource source;
    source.name = source.remote = QStringLiteral("7000_合同.pdf");
    source.expected = Record(pdf);
    source.request.settings.endpoint = {server.Server(), QString::fromLatin1(server.User()),
                                        QString::fromLatin1(server.Password()),
                                        QStringLiteral("/")};
    source.request.timeouts = korvane::store::Timeouts::All(10000);
    ASSERT_TRUE(Show(source)) << pane.Message().toStdString();
    EXPECT_EQ(pane.Pages(), 3);
    EXPECT_TRUE(ShowsPage(pane.PageImage(), 0));
}

}  // namespace
