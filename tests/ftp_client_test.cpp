// CFTPClient against real FTP servers: pyftpdlib with injected faults, and vsftpd.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>

#include "CFTPClient.h"
#include "FtpSession.h"
#include "ResumeRecord.h"
#include "support/FakeClock.h"
#include "support/Files.h"
#include "support/FtpServers.h"
#include "support/TestCertificate.h"

using korvane::test::FreePort;
using korvane::test::FtpServer;
using korvane::test::Pattern;
using korvane::test::PyFtpServer;
using korvane::test::ReadFile;
using korvane::test::VsftpdServer;
using korvane::test::WriteFile;

namespace {

ftp::Timeouts ShortTimeouts() {
    ftp::Timeouts t;
    t.connectMs = 3000;
    t.replyMs = 3000;
    t.acceptMs = 3000;
    t.readMs = 3000;
    t.writeMs = 3000;
    return t;
}

void SetMtime(const QString& path, std::time_t when) {
    utimbuf times{when, when};
    utime(QFile::encodeName(path).constData(), &times);
}

std::string Text(const char* s) {
    return std::string(s);
}

// Pauses and pacing run on a clock that costs no real time, except where a test says otherwise.
class FtpTest : public ::testing::Test {
protected:
    FtpTest() { client.SetClock(&clock); }
    void Start(const QStringList& faults = {}) {
        server = &PyFtpServer::With(faults, ownPy);
        ASSERT_TRUE(server->Started()) << server->Error().toStdString();
    }
    void Own(std::unique_ptr<FtpServer> own) {
        owned = std::move(own);
        server = owned.get();
    }
    // A connected client in the server's home directory.
    void Login(CFTPClient& c) {
        c.SetTimeouts(ShortTimeouts());
        ASSERT_TRUE(c.Connect(server->Server().toUtf8(), server->User(), server->Password()))
            << c.m_szLastError;
        ASSERT_TRUE(c.SetCurrentDirectory(server->RemoteDir())) << c.m_szLastError;
    }
    QByteArray Local(const char* name) const {
        return QFile::encodeName(local.filePath(QString::fromUtf8(name)));
    }
    // Records the local file as a copy of the server's current `name`, as an interrupted
    // download of it would have.
    void MarkAsCopyOf(const char* name) {
        const QFileInfo remote(server->PathOf(QString::fromUtf8(name)));
        const ftp::RemoteVersion version{client.m_szServer, server->RemoteDir().toStdString(), name,
                                         static_cast<uint64_t>(remote.size()),
                                         remote.lastModified().toSecsSinceEpoch()};
        const int fd = ::open(Local(name).constData(), O_RDWR);
        ASSERT_GE(fd, 0);
        ftp::WriteRecord(fd, version);
        ::close(fd);
    }

    std::unique_ptr<PyFtpServer> ownPy;
    std::unique_ptr<FtpServer> owned;
    FtpServer* server = nullptr;
    QTemporaryDir local;
    korvane::test::FakeClock clock;
    CFTPClient client;
};

// Downloads ---------------------------------------------------------------------------------

TEST_F(FtpTest, DownloadIntoMissingFileCreatesItWithoutRestart) {
    Start();
    const QByteArray content = Pattern(300 * 1024 + 17);
    server->Put(QStringLiteral("a.bin"), content);
    server->Put(QStringLiteral("empty.bin"), QByteArray());
    Login(client);
    ASSERT_TRUE(client.GetFile("a.bin", Local("a.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(ReadFile(local.filePath("a.bin")), content);
    EXPECT_EQ(Text(client.m_szLastError), "") << "no restart was negotiated";
    ASSERT_TRUE(client.GetFile("empty.bin", Local("empty.bin"), -1));
    EXPECT_TRUE(QFileInfo::exists(local.filePath("empty.bin")));
    EXPECT_EQ(QFileInfo(local.filePath("empty.bin")).size(), 0);
}

TEST_F(FtpTest, InterruptedDownloadResumesWithTheRestartReplyAndAppends) {
    Start({"--rest-reply", "plain", "--drop-after", "100000", "--drop-once"});
    const QByteArray content = Pattern(256 * 1024, 7);
    server->Put(QStringLiteral("r.bin"), content);
    Login(client);
    EXPECT_FALSE(client.GetFile("r.bin", Local("r.bin"), -1)) << "the data ended early";
    EXPECT_EQ(ReadFile(local.filePath("r.bin")), content.left(100000)) << "received bytes stay";
    ASSERT_TRUE(client.GetFile("r.bin", Local("r.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(ReadFile(local.filePath("r.bin")), content);
    EXPECT_NE(std::strstr(client.m_szLastError, "350 Restarting at 34464"), nullptr)
        << "the restart 64 KiB before the local end, whose bytes are compared: "
        << client.m_szLastError;
}

TEST_F(FtpTest, RestartAcceptedInOtherWordsDownloadsTheWholeFileCorrectly) {
    Start();  // pyftpdlib's own "350 Restarting at position N."
    const QByteArray content = Pattern(200 * 1024, 3);
    server->Put(QStringLiteral("w.bin"), content);
    WriteFile(local.filePath("w.bin"), content.left(5000));
    Login(client);
    ASSERT_TRUE(client.GetFile("w.bin", Local("w.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(ReadFile(local.filePath("w.bin")), content)
        << "the server's marker must be cleared, or the bytes from 5000 land at 0";
}

TEST_F(FtpTest, LocalCopyAsLongAsRemoteReadsNothingAndSucceeds) {
    Start({"--rest-reply", "plain"});
    const QByteArray content = Pattern(64 * 1024, 4);
    server->Put(QStringLiteral("same.bin"), content);
    WriteFile(local.filePath("same.bin"), content);
    Login(client);
    int calls = 0;
    static int* sCalls = nullptr;
    sCalls = &calls;
    client.m_lpfnProgress = [](const char*, int32_t percent, uint32_t speed, uint32_t) {
        EXPECT_EQ(percent, 0);
        EXPECT_EQ(speed, 0u);
        ++*sCalls;
    };
    ASSERT_TRUE(client.GetFile("same.bin", Local("same.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(calls, 1) << "only the opening report";
    EXPECT_EQ(ReadFile(local.filePath("same.bin")), content);
}

TEST_F(FtpTest, StaleLocalCopiesAreReplacedNotSpliced) {
    Start({"--rest-reply", "plain"});
    const QByteArray content = Pattern(100 * 1024, 5);
    server->Put(QStringLiteral("s.bin"), content);
    Login(client);

    WriteFile(local.filePath("s.bin"), Pattern(150 * 1024, 99));  // longer than the remote file
    ASSERT_TRUE(client.GetFile("s.bin", Local("s.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(ReadFile(local.filePath("s.bin")), content) << "old bytes beyond the end are cut";

    WriteFile(local.filePath("s.bin"), Pattern(30 * 1024, 98));  // shorter but older
    SetMtime(local.filePath("s.bin"), std::time(nullptr) - 86400);
    ASSERT_TRUE(client.GetFile("s.bin", Local("s.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(ReadFile(local.filePath("s.bin")), content);
}

TEST_F(FtpTest, WithoutSizeAndMdtmTheRestartAloneDecides) {
    Start({"--rest-reply", "plain", "--no-size-mdtm"});
    const QByteArray content = Pattern(80 * 1024, 6);
    server->Put(QStringLiteral("n.bin"), content);
    Login(client);
    ASSERT_TRUE(client.GetFile("n.bin", Local("n.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(ReadFile(local.filePath("n.bin")), content) << "size unknown: read to the end";
    static std::vector<int32_t> percents;
    percents.clear();
    client.m_lpfnProgress = [](const char*, int32_t percent, uint32_t, uint32_t) {
        percents.push_back(percent);
    };
    server->Put(QStringLiteral("n3.bin"), content.left(40 * 1024));
    ASSERT_TRUE(client.GetFile("n3.bin", Local("n3.bin"), 16)) << client.m_szLastError;
    EXPECT_EQ(ReadFile(local.filePath("n3.bin")), content.left(40 * 1024));
    ASSERT_GE(percents.size(), 2u);
    for (int32_t p : percents) {
        EXPECT_EQ(p, 0) << "no share without a size";
    }
    client.m_lpfnProgress = nullptr;
}

TEST_F(FtpTest, FailedDownloadRemovesOnlyAFileItCreated) {
    Start();
    Login(client);
    EXPECT_FALSE(client.GetFile("nope.bin", Local("nope.bin"), -1));
    EXPECT_NE(std::strstr(client.m_szLastError, "550"), nullptr) << client.m_szLastError;
    EXPECT_FALSE(QFileInfo::exists(local.filePath("nope.bin"))) << "nothing arrived";
    WriteFile(local.filePath("keep.bin"), "partial");
    EXPECT_FALSE(client.GetFile("nope.bin", Local("keep.bin"), -1));
    EXPECT_EQ(ReadFile(local.filePath("keep.bin")), QByteArray("partial"));
    WriteFile(local.filePath("empty.bin"), QByteArray());
    EXPECT_FALSE(client.GetFile("nope.bin", Local("empty.bin"), -1));
    EXPECT_TRUE(QFileInfo::exists(local.filePath("empty.bin"))) << "it was there before";
}

TEST_F(FtpTest, RestartPastTheEndWithoutSizeDownloadsFromZero) {
    Start({"--rest-reply", "plain", "--no-size-mdtm"});
    const QByteArray content = Pattern(1000, 21);
    server->Put(QStringLiteral("short.bin"), content);
    WriteFile(local.filePath("short.bin"), Pattern(5000, 22));
    Login(client);
    ASSERT_TRUE(client.GetFile("short.bin", Local("short.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(ReadFile(local.filePath("short.bin")), content) << "a longer copy is not a success";
}

// Pacing: passes of rate KiB lasting at least a second each, on a clock whose pauses cost no
// real time; the share counts the bytes already held.
TEST_F(FtpTest, RateLimitPacesPassesAndProgressCountsTheBytesHeld) {
    Start({"--rest-reply", "plain", "--drop-after", "98304", "--drop-once"});
    const QByteArray content = Pattern(160 * 1024, 8);
    server->Put(QStringLiteral("slow.bin"), content);
    server->Put(QStringLiteral("small.bin"), content.left(40 * 1024));
    Login(client);
    // An interrupted download leaves 96 KiB and the record of what they copy.
    EXPECT_FALSE(client.GetFile("slow.bin", Local("slow.bin"), -1));
    ASSERT_EQ(QFileInfo(local.filePath("slow.bin")).size(), 96 * 1024);
    static std::vector<int32_t> percents;
    client.m_lpfnProgress = [](const char*, int32_t percent, uint32_t, uint32_t) {
        percents.push_back(percent);
    };
    struct Row {
        const char* name;
        const char* file;
        int rate;
        std::vector<int32_t> expected;
        uint64_t pausedMs;
    };
    const Row rows[] = {
        {"40 KiB at 16: reads of 16, 16 and 8", "small.bin", 16, {0, 40, 80, 100}, 3000},
        {"unlimited is not paced", "small.bin", -1, {0}, 0},
        // From 32 KiB (64 KiB before the end held): 64 KiB compared, then 64 new.
        {"resumed at 96 of 160", "slow.bin", 16, {0, 30, 40, 50, 60, 70, 80, 90, 100}, 8000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        percents.clear();
        const uint64_t before = clock.Slept();
        ASSERT_TRUE(client.GetFile(row.file, Local(row.file), row.rate)) << client.m_szLastError;
        EXPECT_EQ(percents, row.expected);
        EXPECT_EQ(clock.Slept() - before, row.pausedMs);
        EXPECT_EQ(ReadFile(local.filePath(QString::fromLatin1(row.file))),
                  content.left(QFileInfo(server->PathOf(QString::fromLatin1(row.file))).size()));
        QFile::remove(local.filePath(QString::fromLatin1("small.bin")));
    }
    client.m_lpfnProgress = nullptr;
}

// One real-time check that the pacing really waits.
TEST_F(FtpTest, PacingTakesRealTime) {
    Start();
    server->Put(QStringLiteral("paced.bin"), Pattern(10 * 1024, 12));
    client.SetClock(&ftp::Clock::Real());
    Login(client);
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(client.GetFile("paced.bin", Local("paced.bin"), 16)) << client.m_szLastError;
    EXPECT_GE(timer.elapsed(), 950) << "one pass of at least a second";
}

TEST_F(FtpTest, ProgressReportsCountPercentAndSpeed) {
    Start();
    server->Put(QStringLiteral("p.bin"), Pattern(64 * 1024, 9));
    Login(client);
    static std::vector<std::pair<int32_t, uint32_t>> reports;
    reports.clear();
    client.m_dwUserData = 77;
    client.m_lpfnProgress = [](const char* name, int32_t percent, uint32_t speed, uint32_t user) {
        EXPECT_STREQ(name, "p.bin");
        EXPECT_EQ(user, 77u);
        reports.emplace_back(percent, speed);
    };
    ASSERT_TRUE(client.GetFile("p.bin", Local("p.bin"), 16));
    // Passes of 16 KiB, a second each: reports after passes 1..4 at 25, 50, 75, 100 percent.
    ASSERT_EQ(reports.size(), 5u);
    EXPECT_EQ(reports[0], std::make_pair(0, 0u));
    EXPECT_EQ(reports[1].first, 25);
    EXPECT_EQ(reports[4].first, 100);
    EXPECT_GE(reports[4].second, 14u);
    EXPECT_LE(reports[4].second, 16u);
}

// Three attempts, each followed by a pause of a second (the end-to-end suite waits them in real
// time).
TEST_F(FtpTest, DataThatEndsEarlyGivesThreeAttemptsThenFalse) {
    Start({"--drop-after", "1000"});
    server->Put(QStringLiteral("d.bin"), Pattern(50 * 1024, 10));
    Login(client);
    EXPECT_FALSE(client.GetFile("d.bin", Local("d.bin"), -1));
    EXPECT_EQ(clock.Slept(), 3000u);
    EXPECT_EQ(QFileInfo(local.filePath("d.bin")).size(), 1000);
}

// A stalled transfer ends within its timeout and a second after the last bytes moved, plain or
// under TLS, and names the configured timeout; so does a final reply that never ends.
TEST_F(FtpTest, AStalledTransferEndsWithinOneTimeoutAndSaysSo) {
    static const korvane::test::TestCertificate cert;
    ASSERT_TRUE(cert.Made()) << cert.Error().toStdString();
    const QStringList tls{QStringLiteral("--tls-cert"), cert.PemFile()};
    struct Row {
        const char* name;
        QStringList faults;
        bool upload;
        const char* message;
    };
    const QStringList download{"--stall-after", "2000"};
    // More than the socket buffers of both ends hold.
    const QStringList upload{"--stall-store-after", "1000000"};
    const Row rows[] = {
        {"download", download, false, "读取数据超时（1秒）"},
        {"upload", upload, true, "发送数据超时（1秒）"},
        {"FTPS download", tls + download, false, "读取数据超时（1秒）"},
        {"FTPS upload", tls + upload, true, "发送数据超时（1秒）"},
        {"final reply never ends", {"--final-trickle"}, false, "等待服务器应答超时（1秒）"},
    };
    WriteFile(local.filePath("up.bin"), QByteArray(24 * 1024 * 1024, 'u'));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start(row.faults);
        server->Put(QStringLiteral("st.bin"), Pattern(50 * 1024, 11));
        ftp::Timeouts quick = ShortTimeouts();
        quick.readMs = quick.writeMs = quick.replyMs = 1000;
        CFTPClient c;
        CFTPClient::Options options;
        options.mode = ftp::DataMode::Passive;
        options.tls.mode = row.faults.contains(tls[0]) ? ftp::TlsMode::Explicit : ftp::TlsMode::Off;
        options.tls.caFile = cert.CertFile().toStdString();
        c.SetOptions(options);
        c.SetClock(&clock);
        c.SetTimeouts(quick);
        ASSERT_TRUE(c.Connect(server->Server().toUtf8(), "op", "secret")) << c.m_szLastError;
        QElapsedTimer timer;
        timer.start();
        // When the observer heard of bytes; an upload's last report is of the block that
        // stalled, after its timeout, so its stall began at the report before.
        std::vector<qint64> moved{0, 0};
        c.SetObserver([&](uint64_t, uint64_t, uint64_t) { moved.push_back(timer.elapsed()); });
        EXPECT_FALSE(row.upload ? c.PutFile("st.bin", Local("up.bin"))
                                : c.GetFile("st.bin", Local("st.bin"), -1));
        const qint64 stalled = moved[moved.size() - (row.upload ? 2 : 1)];
        EXPECT_LT(timer.elapsed() - stalled, 1000 + 1000) << "the timeout and a second at most";
        EXPECT_STREQ(c.m_szLastError, row.message);
    }
}

// The size a server announces is a forecast (a file that grew, a server that miscounts): the
// data are read to their end, paced or not, and what arrived is the file and its digest.
TEST_F(FtpTest, ASizeSmallerThanTheFileIsNoEndOfTheData) {
    Start({"--size-less", "100000"});
    const QByteArray content = Pattern(3000000, 41);
    server->Put(QStringLiteral("grown.bin"), content);
    Login(client);
    for (const int rate : {-1, 100}) {
        SCOPED_TRACE(rate);
        QFile::remove(local.filePath(QStringLiteral("grown.bin")));
        ASSERT_TRUE(client.GetFile("grown.bin", Local("grown.bin"), rate)) << client.m_szLastError;
        EXPECT_EQ(QFileInfo(local.filePath(QStringLiteral("grown.bin"))).size(), content.size());
        EXPECT_TRUE(ReadFile(local.filePath(QStringLiteral("grown.bin"))) == content);
    }
    std::string hex;
    uint64_t size = 0;
    ASSERT_TRUE(client.RemoteSha256("grown.bin", &hex, &size)) << client.m_szLastError;
    EXPECT_EQ(size, 3000000u);
    EXPECT_EQ(QByteArray::fromStdString(hex),
              QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
}

TEST_F(FtpTest, ARetrievalTheServerAbortsFails) {
    Start({"--retr-final", "426 Transfer aborted. File is growing."});
    server->Put(QStringLiteral("grow.bin"), Pattern(30 * 1024, 14));
    Login(client);
    EXPECT_FALSE(client.GetFile("grow.bin", Local("grow.bin"), -1));
    EXPECT_NE(std::strstr(client.m_szLastError, "426"), nullptr) << client.m_szLastError;
}

// A local copy that is not a prefix of the remote file is never continued, even when it is
// newer than the remote file and recorded as a copy of the very same version.
TEST_F(FtpTest, AForeignLocalCopyIsNeverSplicedOntoTheRemoteTail) {
    Start({"--rest-reply", "plain"});
    const QByteArray content = Pattern(300 * 1024, 15);
    server->Put(QStringLiteral("c.bin"), content);
    SetMtime(server->PathOf(QStringLiteral("c.bin")), std::time(nullptr) - 86400);
    Login(client);
    for (const bool recorded : {false, true}) {
        SCOPED_TRACE(recorded ? "with a matching record" : "without a record");
        WriteFile(local.filePath("c.bin"), Pattern(200 * 1024, 16));  // newer, shorter, foreign
        if (recorded) {
            MarkAsCopyOf("c.bin");
        }
        ASSERT_TRUE(client.GetFile("c.bin", Local("c.bin"), -1)) << client.m_szLastError;
        EXPECT_EQ(ReadFile(local.filePath("c.bin")), content);
    }
}

// Uploads -----------------------------------------------------------------------------------

TEST_F(FtpTest, UploadsEmptyAndLargeFilesByteIdentical) {
    Start();
    Login(client);
    WriteFile(local.filePath("empty.txt"), QByteArray());
    ASSERT_TRUE(client.PutFile("empty.txt", Local("empty.txt"))) << client.m_szLastError;
    EXPECT_TRUE(QFileInfo::exists(server->PathOf("empty.txt")));
    EXPECT_EQ(QFileInfo(server->PathOf("empty.txt")).size(), 0);

    // The digest of what was sent is made beside the sending, block after block.
    const QByteArray big = Pattern(8 * 1024 * 1024 + 3, 12);
    WriteFile(local.filePath("big.bin"), big);
    CFTPClient::StoredCopy copy;
    ASSERT_TRUE(client.StoreAs("big.bin", Local("big.bin"), &copy)) << client.m_szLastError;
    EXPECT_TRUE(server->Read(QStringLiteral("big.bin")) == big);
    EXPECT_EQ(copy.size, static_cast<uint64_t>(big.size()));
    EXPECT_EQ(QByteArray::fromStdString(copy.sha256),
              QCryptographicHash::hash(big, QCryptographicHash::Sha256).toHex());
}

// An upload continues what the server holds of the file where those bytes are confirmed and
// the server continues a store (REST and STOR, else APPE); else it stores the whole file again.
// The digest is the whole file's either way.
TEST_F(FtpTest, AnUploadContinuesWhatTheServerHoldsWhereItCan) {
    const QByteArray content = Pattern(300 * 1024 + 7, 21);
    const qsizetype held = 200 * 1024 + 3;
    struct Row {
        const char* name;
        const char* storeResume;  // the fixture's switch
        bool altered;             // a held byte is not the file's
        bool continued;
    };
    const Row rows[] = {
        {"REST and STOR", "any", false, true},
        {"APPE where STOR refuses a restart", "appe", false, true},
        {"a server that continues no store", "none", false, false},
        {"held bytes that are not the file's", "any", true, false},
    };
    WriteFile(local.filePath("up.bin"), content);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start({"--rest-reply", "plain", "--store-resume", row.storeResume});
        QByteArray partial = content.left(held);
        if (row.altered) {
            partial[held - 10] = static_cast<char>(~partial[held - 10]);
        }
        server->Put(QStringLiteral("up.part"), partial);
        CFTPClient c;
        c.SetClock(&clock);
        Login(c);
        CFTPClient::StoredCopy copy;
        ASSERT_TRUE(c.StoreAs("up.part", Local("up.bin"), &copy, held)) << c.m_szLastError;
        EXPECT_EQ(copy.resumedFrom, row.continued ? static_cast<uint64_t>(held) : 0u);
        EXPECT_TRUE(server->Read(QStringLiteral("up.part")) == content);
        EXPECT_EQ(QByteArray::fromStdString(copy.sha256),
                  QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
    }
}

TEST_F(FtpTest, UploadOfAMissingLocalFileLeavesTheServerUntouched) {
    Start();
    server->Put(QStringLiteral("good.txt"), "the good copy");
    Login(client);
    EXPECT_FALSE(client.PutFile("good.txt", Local("missing.txt")));
    EXPECT_EQ(Text(client.m_szLastError), std::strerror(ENOENT));
    EXPECT_EQ(server->Read(QStringLiteral("good.txt")), QByteArray("the good copy"));
    EXPECT_FALSE(client.PutFile("dir.txt", QFile::encodeName(local.path())));
    EXPECT_FALSE(QFileInfo::exists(server->PathOf("dir.txt")));
}

TEST_F(FtpTest, StoresTheServerDidNotCompleteFail) {
    Start({"--store-final", "552 Quota exceeded."});
    Login(client);
    WriteFile(local.filePath("q.txt"), Pattern(10000));
    EXPECT_FALSE(client.PutFile("q.txt", Local("q.txt")));
    EXPECT_NE(std::strstr(client.m_szLastError, "552"), nullptr) << client.m_szLastError;
}

TEST_F(FtpTest, StoreThatAcceptsNothingFails) {
    Start({"--store-accepts-nothing"});
    Login(client);
    WriteFile(local.filePath("n.txt"), Pattern(2 * 1024 * 1024));
    EXPECT_FALSE(client.PutFile("n.txt", Local("n.txt")));
}

// Sessions ----------------------------------------------------------------------------------

TEST_F(FtpTest, RefusedAndUnresolvableServersSayWhy) {
    const std::string refusing = "127.0.0.1:" + std::to_string(FreePort());
    client.SetTimeouts(ShortTimeouts());
    EXPECT_FALSE(client.Connect(refusing.c_str(), "op", "secret"));
    EXPECT_EQ(Text(client.m_szLastError), "Connection refused") << "the system's text";
    EXPECT_FALSE(client.m_bConnected);
    EXPECT_NE(client.m_hInternet, nullptr) << "the session stays open";
    EXPECT_EQ(client.m_hConnect, nullptr);
    EXPECT_FALSE(client.Connect("no-such-host.invalid", "op", "secret"));
    EXPECT_EQ(Text(client.m_szLastError),
              "未知错误![no-such-host.invalid]主机不可达，请检查IP地址是否正确。");
    EXPECT_FALSE(client.Connect("", "", ""));
}

TEST_F(FtpTest, WrongPasswordGivesTheServersRefusal) {
    Start();
    client.SetTimeouts(ShortTimeouts());
    EXPECT_FALSE(client.Connect(server->Server().toUtf8(), "op", "wrong"));
    EXPECT_NE(std::strstr(client.m_szLastError, "530"), nullptr) << client.m_szLastError;
    EXPECT_EQ(client.m_szServer[0], '\0') << "stored copies keep their earlier values";
}

TEST_F(FtpTest, SilentServerFailsWithinTheTimeout) {
    Start({"--silent"});
    ftp::Timeouts t = ShortTimeouts();
    t.replyMs = 500;
    client.SetTimeouts(t);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(client.Connect(server->Server().toUtf8(), "op", "secret"));
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_STREQ(client.m_szLastError, "等待服务器应答超时（1秒）")
        << "a timeout says so, in whole seconds rounded up";
}

TEST_F(FtpTest, MissingDirectoryGivesTheServersReply) {
    Start();
    client.SetTimeouts(ShortTimeouts());
    ASSERT_TRUE(client.Connect(server->Server().toUtf8(), "op", "secret"));
    EXPECT_FALSE(client.SetCurrentDirectory("no/such/dir"));
    EXPECT_NE(std::strstr(client.m_szLastError, "550"), nullptr) << client.m_szLastError;
}

TEST_F(FtpTest, StoredCopiesAreCutAt127AndDisconnectIsIdempotent) {
    // 11 + 60 * 3 bytes: a plain cut at 127 would split the 39th character in two.
    std::string longUser(11, 'u');
    for (int i = 0; i < 60; ++i) {
        longUser += "张";
    }
    const std::string stored = longUser.substr(0, 11 + 38 * 3);
    Start({"--user", QString::fromStdString(longUser)});
    client.SetTimeouts(ShortTimeouts());
    ASSERT_TRUE(client.Connect(server->Server().toUtf8(), longUser.c_str(), "secret"))
        << client.m_szLastError;
    EXPECT_EQ(Text(client.m_szUser), stored);
    EXPECT_EQ(Text(client.m_szServer), server->Server().toStdString());
    EXPECT_TRUE(client.m_bConnected);
    client.Disconnect();
    client.Disconnect();
    EXPECT_FALSE(client.m_bConnected);
    EXPECT_EQ(client.m_hConnect, nullptr);
    EXPECT_EQ(client.m_hInternet, nullptr);
    EXPECT_EQ(Text(client.m_szUser), stored) << "copies survive Disconnect";
    // Connecting again with the client's own stored server text works.
    EXPECT_TRUE(client.Connect(client.m_szServer, longUser.c_str(), "secret"));
    EXPECT_EQ(Text(client.m_szServer), server->Server().toStdString());
}

TEST_F(FtpTest, NamesWithLineBreaksAreRefusedNotSentAsCommands) {
    Start();
    Login(client);
    server->Put(QStringLiteral("victim.txt"), "keep");
    EXPECT_FALSE(client.GetFile("x\r\nDELE victim.txt", Local("x"), -1));
    EXPECT_FALSE(client.SetCurrentDirectory("/\r\nDELE victim.txt"));
    EXPECT_EQ(server->Read(QStringLiteral("victim.txt")), QByteArray("keep"));
}

TEST_F(FtpTest, OperationsWithoutAConnectionFail) {
    EXPECT_FALSE(client.SetCurrentDirectory("/"));
    EXPECT_FALSE(client.GetFile("a", Local("never"), -1));
    EXPECT_TRUE(QFileInfo::exists(local.filePath("never"))) << "the local file is opened first";
    WriteFile(local.filePath("up"), "x");
    EXPECT_FALSE(client.PutFile("a", Local("up")));
}

TEST_F(FtpTest, SizesAndOffsetsBeyond4GiBWork) {
    Start({"--rest-reply", "plain"});
    const qint64 size = (qint64{4} << 30) + 3 * 1024 * 1024;
    const qint64 have = size - 1024 * 1024;
    const QByteArray tail = Pattern(1024 * 1024, 13);
    {
        QFile remote(server->PathOf(QStringLiteral("huge.bin")));
        ASSERT_TRUE(remote.open(QIODevice::WriteOnly));
        ASSERT_TRUE(remote.resize(have));  // sparse
        remote.seek(have);
        remote.write(tail);
    }
    QFile::setPermissions(server->PathOf(QStringLiteral("huge.bin")), QFile::Permissions(0x6644));
    {
        QFile part(local.filePath("huge.bin"));
        ASSERT_TRUE(part.open(QIODevice::WriteOnly));
        ASSERT_TRUE(part.resize(have));
    }
    Login(client);
    MarkAsCopyOf("huge.bin");
    ASSERT_TRUE(client.GetFile("huge.bin", Local("huge.bin"), -1)) << client.m_szLastError;
    const std::string restart = "350 Restarting at " + std::to_string(have - 65536);
    EXPECT_NE(std::strstr(client.m_szLastError, restart.c_str()), nullptr) << client.m_szLastError;
    QFile got(local.filePath("huge.bin"));
    ASSERT_TRUE(got.open(QIODevice::ReadOnly));
    EXPECT_EQ(got.size(), size);
    got.seek(have);
    EXPECT_TRUE(got.read(tail.size()) == tail);
}

// Argument checks ---------------------------------------------------------------------------

TEST(FtpClientDeathTest, NullArgumentsAreProgrammingErrors) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CFTPClient c;
    EXPECT_DEATH(c.Connect(nullptr, "", ""), "Assertion failed: pszServer,");
    EXPECT_DEATH(c.Connect("", nullptr, ""), "Assertion failed: pszUser,");
    EXPECT_DEATH(c.Connect("", "", nullptr), "Assertion failed: pszPass,");
    EXPECT_DEATH(c.SetCurrentDirectory(nullptr), "pszRemotePath != NULL");
    EXPECT_DEATH(c.GetFile(nullptr, "x", -1), "pszRemoteFile != NULL");
    EXPECT_DEATH(c.GetFile("x", nullptr, -1), "pszLocalFile != NULL");
    EXPECT_DEATH(c.PutFile(nullptr, "x"), "pszRemoteFile != NULL");
    EXPECT_DEATH(c.PutFile("x", nullptr), "pszLocalFile != NULL");
}

// vsftpd, an independent second server ------------------------------------------------------

class VsftpdTest : public FtpTest {
protected:
    void SetUp() override {
        Own(std::make_unique<VsftpdServer>());
        if (!server->Started()) {
            GTEST_SKIP() << server->Error().toStdString();
        }
    }
};

TEST_F(VsftpdTest, UploadAndDownloadRoundTrip) {
    Login(client);
    const QByteArray content = Pattern(5 * 1024 * 1024, 21);
    WriteFile(local.filePath("up.bin"), content);
    ASSERT_TRUE(client.PutFile("1024_up.bin", Local("up.bin"))) << client.m_szLastError;
    EXPECT_TRUE(server->Read(QStringLiteral("1024_up.bin")) == content);
    ASSERT_TRUE(client.GetFile("1024_up.bin", Local("down.bin"), -1)) << client.m_szLastError;
    EXPECT_TRUE(ReadFile(local.filePath("down.bin")) == content);
}

TEST_F(VsftpdTest, RestartInVsftpdsWordsStillGivesACorrectFile) {
    const QByteArray content = Pattern(300 * 1024, 22);
    server->Put(QStringLiteral("r.bin"), content);
    WriteFile(local.filePath("r.bin"), content.left(70000));
    Login(client);
    ASSERT_TRUE(client.GetFile("r.bin", Local("r.bin"), -1)) << client.m_szLastError;
    EXPECT_TRUE(ReadFile(local.filePath("r.bin")) == content);
}

TEST_F(VsftpdTest, CodeRuleResumesInVsftpdsWordsAndOnlyTheMissingBytesTravel) {
    const QByteArray content = Pattern(600 * 1024, 23);
    server->Put(QStringLiteral("k.bin"), content);
    WriteFile(local.filePath("k.bin"), content.left(400 * 1024));
    Login(client);
    MarkAsCopyOf("k.bin");
    CFTPClient::Options options;
    options.restart = ftp::RestartRule::AnyCode350;
    client.SetOptions(options);
    static uint64_t firstCount;
    firstCount = 0;
    client.m_lpfnProgress = [](const char*, int32_t percent, uint32_t, uint32_t) {
        if (percent > 0 && firstCount == 0) {
            firstCount = static_cast<uint64_t>(percent);
        }
    };
    ASSERT_TRUE(client.GetFile("k.bin", Local("k.bin"), 64)) << client.m_szLastError;
    client.m_lpfnProgress = nullptr;
    EXPECT_TRUE(ReadFile(local.filePath("k.bin")) == content);
    // vsftpd says "350 Restart position accepted (N).": from 336 KiB, so the first pass of 64 KiB
    // ends at 400 of 600 KiB: 66 %.
    EXPECT_NE(std::strstr(client.m_szLastError, "350"), nullptr) << client.m_szLastError;
    EXPECT_EQ(firstCount, 66u);
}

// A partial copy resumes under the default rule in the server's own words; a foreign copy of
// the same length, recorded as the same version, is downloaded again from 0.
void ResumesByDefaultButNeverAForeignCopy(FtpServer& server, const QTemporaryDir& local,
                                          korvane::test::FakeClock& clock) {
    const QByteArray content = Pattern(400 * 1024, 29);
    server.Put(QStringLiteral("d.bin"), content);
    for (const bool foreign : {false, true}) {
        SCOPED_TRACE(foreign ? "foreign" : "own");
        const QString path = local.filePath(QStringLiteral("d.bin"));
        WriteFile(path, foreign ? Pattern(300 * 1024, 30) : content.left(300 * 1024));
        CFTPClient c;
        c.SetClock(&clock);
        CFTPClient::Options options;
        options.restart = ftp::RestartRule::Offset;
        c.SetOptions(options);
        c.SetTimeouts(ShortTimeouts());
        ASSERT_TRUE(c.Connect(server.Server().toUtf8(), server.User(), server.Password()));
        ASSERT_TRUE(c.SetCurrentDirectory(server.RemoteDir()));
        const QFileInfo remote(server.PathOf(QStringLiteral("d.bin")));
        const ftp::RemoteVersion version{c.m_szServer, server.RemoteDir().toStdString(), "d.bin",
                                         static_cast<uint64_t>(remote.size()),
                                         remote.lastModified().toSecsSinceEpoch()};
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
        ASSERT_GE(fd, 0);
        ftp::WriteRecord(fd, version);
        ::close(fd);
        std::vector<uint64_t> starts;
        c.SetObserver([&](uint64_t done, uint64_t, uint64_t from) {
            if (done == from) {
                starts.push_back(from);
            }
        });
        ASSERT_TRUE(c.GetFile("d.bin", QFile::encodeName(path), -1)) << c.m_szLastError;
        EXPECT_TRUE(ReadFile(path) == content);
        const std::vector<uint64_t> expected =
            foreign ? std::vector<uint64_t>{236 * 1024, 0} : std::vector<uint64_t>{236 * 1024};
        EXPECT_EQ(starts, expected);
    }
}

TEST_F(FtpTest, ResumesByDefaultButNeverAForeignCopy) {
    Start();  // "350 Restarting at position N."
    ResumesByDefaultButNeverAForeignCopy(*server, local, clock);
}

TEST_F(VsftpdTest, ResumesByDefaultButNeverAForeignCopy) {
    ResumesByDefaultButNeverAForeignCopy(*server, local, clock);  // "Restart position accepted"
}

// A store that fails after the server accepted it leaves the file that was there intact.
TEST_F(VsftpdTest, AFailedStoreLeavesTheOldRemoteFileIntact) {
    server->Put(QStringLiteral("keep.bin"), "the good copy");
    Login(client);
    CFTPClient::Options options;
    options.storeViaPart = true;
    client.SetOptions(options);
    // A file that ends early: the store is cut short after the server accepted it.
    const QString path = local.filePath("shrinking.bin");
    WriteFile(path, Pattern(400 * 1024, 24));
    static QString sPath;
    sPath = path;
    client.m_lpfnProgress = [](const char*, int32_t, uint32_t, uint32_t) {
        QFile(sPath).resize(1000);
    };
    EXPECT_FALSE(client.PutFile("keep.bin", QFile::encodeName(path)));
    client.m_lpfnProgress = nullptr;
    EXPECT_EQ(server->Read(QStringLiteral("keep.bin")), QByteArray("the good copy"));
    WriteFile(path, "the new copy");
    ASSERT_TRUE(client.PutFile("keep.bin", QFile::encodeName(path))) << client.m_szLastError;
    EXPECT_EQ(server->Read(QStringLiteral("keep.bin")), QByteArray("the new copy"));
    EXPECT_EQ(QDir(server->PathOf(QString())).entryList({QStringLiteral("*.part")}, QDir::Files),
              QStringList())
        << "no temporary file is left";
}

// vsftpd whose connections back a firewall drops sits in its own connect timeout without a
// word: auto gives that session up after the short wait, logs in again passively and finishes
// the upload long before vsftpd's connect timeout or the transfer timeout ends.
TEST_F(VsftpdTest, AutoUploadsPassivelyWhenTheConnectionBackIsDropped) {
    const korvane::test::ConnectBackBlackhole firewalled(*server);
    ASSERT_TRUE(firewalled.Started()) << firewalled.Error().toStdString();
    const QByteArray content = Pattern(5 * 1024 * 1024, 33);
    WriteFile(local.filePath("up.bin"), content);
    QTemporaryDir state;
    CFTPClient::Options options;
    options.mode = ftp::DataMode::Auto;
    options.storeViaPart = true;
    options.stateFolder = state.path().toStdString();
    client.SetOptions(options);
    ftp::Timeouts site;  // korvane_ftp_timeout's default
    site.connectMs = site.replyMs = site.acceptMs = site.readMs = site.writeMs = 30000;
    client.SetTimeouts(site);
    ASSERT_TRUE(client.Connect(firewalled.Server().toUtf8(), server->User(), server->Password()))
        << client.m_szLastError;
    ASSERT_TRUE(client.SetCurrentDirectory(server->RemoteDir())) << client.m_szLastError;
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(client.PutFile("fw.bin", Local("up.bin"))) << client.m_szLastError;
    EXPECT_LT(timer.elapsed(), ftp::kConnectBackWaitMs + 7000) << "vsftpd waits 60 s to connect";
    EXPECT_TRUE(server->Read(QStringLiteral("fw.bin")) == content);
    EXPECT_EQ(client.m_hConnect->Mode(), ftp::DataMode::Passive);
    EXPECT_EQ(QDir(server->Home()).entryList({QStringLiteral("*.part")}, QDir::Files),
              QStringList());
}

class PassiveOnlyVsftpdTest : public FtpTest {
protected:
    void SetUp() override {
        Own(std::make_unique<VsftpdServer>(QStringLiteral("port_enable=NO")));
        if (!server->Started()) {
            GTEST_SKIP() << server->Error().toStdString();
        }
    }
};

TEST_F(PassiveOnlyVsftpdTest, ActiveFailsPassiveAndAutoWork) {
    const QByteArray content = Pattern(300 * 1024, 25);
    WriteFile(local.filePath("p.bin"), content);
    struct Row {
        const char* name;
        ftp::DataMode mode;
        bool works;
    };
    for (const Row& row :
         {Row{"active", ftp::DataMode::Active, false}, Row{"passive", ftp::DataMode::Passive, true},
          Row{"auto", ftp::DataMode::Auto, true}}) {
        SCOPED_TRACE(row.name);
        CFTPClient c;
        CFTPClient::Options options;
        options.mode = row.mode;
        c.SetOptions(options);
        c.SetTimeouts(ShortTimeouts());
        ASSERT_TRUE(c.Connect(server->Server().toUtf8(), server->User(), server->Password()));
        ASSERT_TRUE(c.SetCurrentDirectory(server->RemoteDir()));
        const std::string name = std::string(row.name) + ".bin";
        EXPECT_EQ(c.PutFile(name.c_str(), Local("p.bin")), row.works) << c.m_szLastError;
        if (!row.works) {
            EXPECT_NE(std::strstr(c.m_szLastError, "550"), nullptr) << c.m_szLastError;
            continue;
        }
        EXPECT_TRUE(server->Read(QString::fromStdString(name)) == content);
        ASSERT_TRUE(c.GetFile(name.c_str(), Local(name.c_str()), -1)) << c.m_szLastError;
        EXPECT_TRUE(ReadFile(local.filePath(QString::fromStdString(name))) == content);
    }
}

TEST_F(PassiveOnlyVsftpdTest, AutoRemembersThatActiveModeFails) {
    server->Put(QStringLiteral("v.bin"), Pattern(100 * 1024, 31));
    QTemporaryDir state;
    CFTPClient::Options options;
    options.mode = ftp::DataMode::Auto;
    options.stateFolder = state.path().toStdString();
    for (const ftp::DataMode first : {ftp::DataMode::Auto, ftp::DataMode::Passive}) {
        CFTPClient c;
        c.SetOptions(options);
        Login(c);
        EXPECT_EQ(c.m_hConnect->Mode(), first);
        ASSERT_TRUE(c.GetFile("v.bin", Local("v.bin"), -1)) << c.m_szLastError;
        EXPECT_EQ(c.m_hConnect->Mode(), ftp::DataMode::Passive);
    }
}

// However the server treats renames, the file under the final name is replaced whole or not at
// all, and no temporary file stays behind.
TEST_F(FtpTest, AnUploadNeverDeletesTheFileItReplaces) {
    struct Row {
        const char* rename;
        bool stored;
        const char* reason;  // in the last error when not stored
    };
    const Row rows[] = {
        {"any", true, ""},
        {"not-over", true, ""},  // the old file steps aside and is removed afterwards
        {"none", false, "korvane_ftp_upload"},
    };
    WriteFile(local.filePath("new.bin"), "the new copy");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rename);
        Start({"--rename", row.rename});
        server->Put(QStringLiteral("keep.bin"), "the good copy");
        CFTPClient c;
        CFTPClient::Options options;
        options.storeViaPart = true;
        c.SetOptions(options);
        Login(c);
        EXPECT_EQ(c.PutFile("keep.bin", Local("new.bin")), row.stored) << c.m_szLastError;
        EXPECT_EQ(server->Read(QStringLiteral("keep.bin")),
                  QByteArray(row.stored ? "the new copy" : "the good copy"));
        EXPECT_NE(std::strstr(c.m_szLastError, row.reason), nullptr) << c.m_szLastError;
        EXPECT_EQ(
            QDir(server->PathOf(QString())).entryList({QStringLiteral("*.part")}, QDir::Files),
            QStringList());
    }
}

// Whatever is planted where a download lands (a link, a dangling link, a pipe, another user's
// file) is never written through nor continued: the operator is told, naming it. A new file is
// private until its download is done.
TEST_F(FtpTest, ADownloadNeverWritesThroughWhatIsPlantedWhereItLands) {
    Start();
    server->Put(QStringLiteral("planted.bin"), "remote bytes");
    const QString victim = local.filePath(QStringLiteral("victim.txt"));
    WriteFile(victim, "precious");
    Login(client);
    const std::function<bool(const QByteArray&)> plants[] = {
        [&](const QByteArray& at) { return QFile::link(victim, QFile::decodeName(at)); },
        [&](const QByteArray& at) {
            return QFile::link(local.filePath(QStringLiteral("not-yet")), QFile::decodeName(at));
        },
        [](const QByteArray& at) { return mkfifo(at.constData(), 0600) == 0; },
        [](const QByteArray& at) {
            // Another user's file: only root can make one here.
            return geteuid() == 0 &&
                   ::close(::open(at.constData(), O_CREAT | O_WRONLY, 0666)) == 0 &&
                   chown(at.constData(), 65534, 65534) == 0;
        }};
    int planted = 0;
    for (const auto& plant : plants) {
        const QByteArray at = Local("planted.bin");
        ::unlink(at.constData());
        if (!plant(at)) {
            continue;
        }
        ++planted;
        EXPECT_FALSE(client.GetFile("planted.bin", at, -1));
        EXPECT_NE(std::strstr(client.m_szLastError, at.constData()), nullptr)
            << client.m_szLastError;
        EXPECT_NE(std::strstr(client.m_szLastError, "不是本人的普通文件"), nullptr);
        EXPECT_EQ(ReadFile(victim), QByteArray("precious"));
        EXPECT_FALSE(QFileInfo::exists(local.filePath(QStringLiteral("not-yet"))));
    }
    EXPECT_GE(planted, 3);
    ::unlink(Local("planted.bin").constData());
    ASSERT_TRUE(client.GetFile("planted.bin", Local("planted.bin"), -1)) << client.m_szLastError;
    struct stat st {};
    ASSERT_EQ(::stat(Local("planted.bin").constData(), &st), 0);
    const mode_t mask = umask(022);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << "a finished download has a new file's mode";
}

// In active mode anyone on the host may connect to the announced port first: a stranger's
// connection is closed unread, and the server's own one carries the file within the same wait.
TEST_F(FtpTest, AStrangerAtTheActiveDataPortIsRefused) {
    Start({"--data-thief"});
    const QByteArray content = Pattern(100 * 1024, 31);
    server->Put(QStringLiteral("t.bin"), content);
    Login(client);
    ASSERT_TRUE(client.GetFile("t.bin", Local("t.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(ReadFile(local.filePath("t.bin")), content);
    WriteFile(local.filePath("u.bin"), content);
    ASSERT_TRUE(client.PutFile("u.bin", Local("u.bin"))) << client.m_szLastError;
    EXPECT_EQ(server->Read(QStringLiteral("u.bin")), content);
}

// An upload sends what reading the file to its end gives, whatever size the file reports; what
// is not a file (a pipe, a device) is refused at once, before the server is asked to store.
TEST_F(FtpTest, UploadsReadToTheEndAndRefuseWhatIsNoFile) {
    Start();
    Login(client);
    QFile environ(QStringLiteral("/proc/self/environ"));
    ASSERT_TRUE(environ.open(QIODevice::ReadOnly));
    const QByteArray expected = environ.readAll();
    ASSERT_GT(expected.size(), 0);
    ASSERT_EQ(QFileInfo(environ).size(), 0) << "a file that reports 0 bytes";
    ASSERT_TRUE(client.PutFile("env.bin", "/proc/self/environ")) << client.m_szLastError;
    EXPECT_EQ(server->Read(QStringLiteral("env.bin")), expected);
    const QByteArray fifo = Local("pipe");
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    for (const QByteArray& path : {fifo, QByteArray("/dev/null"), QByteArray("/dev/zero")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(client.PutFile("dev.bin", path));
        EXPECT_NE(std::strstr(client.m_szLastError, "不是普通文件"), nullptr)
            << client.m_szLastError;
    }
    EXPECT_FALSE(QFileInfo::exists(server->PathOf(QStringLiteral("dev.bin"))));
}

TEST_F(FtpTest, AStoreTheServerCannotWriteLeavesTheOldFileIntact) {
    Start({"--store-accepts-nothing"});
    server->Put(QStringLiteral("keep.bin"), "the good copy");
    CFTPClient::Options options;
    options.storeViaPart = true;
    client.SetOptions(options);
    Login(client);
    WriteFile(local.filePath("new.bin"), Pattern(200 * 1024, 27));
    EXPECT_FALSE(client.PutFile("keep.bin", Local("new.bin")));
    EXPECT_NE(std::strstr(client.m_szLastError, "426"), nullptr)
        << "the server's reply: " << client.m_szLastError;
    EXPECT_EQ(server->Read(QStringLiteral("keep.bin")), QByteArray("the good copy"));
}

// auto takes passive mode on every sign that active mode cannot work, within a few seconds, with
// a resume's restart marker set again; the server's next sessions start passive.
TEST_F(FtpTest, AutoModeFallsBackOnEverySignAndRemembersIt) {
    const QByteArray content = Pattern(300 * 1024, 28);
    for (const char* fault : {"--no-active", "--port-425", "--port-no-connect"}) {
        SCOPED_TRACE(fault);
        Start({fault});
        server->Put(QStringLiteral("f.bin"), content);
        WriteFile(local.filePath("f.bin"), content.left(200 * 1024));
        QTemporaryDir state;
        CFTPClient::Options options;
        options.mode = ftp::DataMode::Auto;
        options.restart = ftp::RestartRule::Offset;
        options.stateFolder = state.path().toStdString();
        CFTPClient& c = client;
        c.SetOptions(options);
        Login(c);
        MarkAsCopyOf("f.bin");
        std::vector<uint64_t> starts;
        c.SetObserver([&](uint64_t done, uint64_t, uint64_t from) {
            if (done == from) {
                starts.push_back(from);
            }
        });
        QElapsedTimer timer;
        timer.start();
        ASSERT_TRUE(c.GetFile("f.bin", Local("f.bin"), -1)) << c.m_szLastError;
        EXPECT_LT(timer.elapsed(), ftp::kConnectBackWaitMs + 2000) << "not the whole timeout";
        EXPECT_EQ(ReadFile(local.filePath("f.bin")), content);
        EXPECT_EQ(starts, (std::vector<uint64_t>{136 * 1024})) << "resumed, never from 0";
        EXPECT_EQ(c.m_hConnect->Mode(), ftp::DataMode::Passive) << "for the rest of the session";

        CFTPClient next;
        next.SetOptions(options);
        Login(next);
        EXPECT_EQ(next.m_hConnect->Mode(), ftp::DataMode::Passive) << "remembered";
        timer.restart();
        ASSERT_TRUE(next.GetFile("f.bin", Local("g.bin"), -1)) << next.m_szLastError;
        EXPECT_LT(timer.elapsed(), 1000);
    }
}

TEST_F(FtpTest, AutoModeFallsBackWhenPortIsRefusedAndStaysPassive) {
    Start({"--no-active"});
    server->Put(QStringLiteral("a.bin"), Pattern(100 * 1024, 26));
    CFTPClient::Options options;
    options.mode = ftp::DataMode::Auto;
    client.SetOptions(options);
    Login(client);
    ASSERT_TRUE(client.GetFile("a.bin", Local("a.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(client.m_hConnect->Mode(), ftp::DataMode::Passive) << "for the rest of the session";
    ASSERT_TRUE(client.GetFile("a.bin", Local("b.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(ReadFile(local.filePath("b.bin")), Pattern(100 * 1024, 26));
}

// The raw bytes of the names in a server directory.
std::vector<std::string> RawNames(const QString& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(QFile::encodeName(dir).constData())) {
        while (const dirent* e = readdir(d)) {
            names.emplace_back(e->d_name);
        }
        closedir(d);
    }
    return names;
}

bool Holds(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Logs in with the encoding chosen by the server's FEAT and stores "申请单.txt".
void StoreChineseName(FtpServer& server, CFTPClient& client, const QTemporaryDir& local,
                      const char* encoding = "auto") {
    CFTPClient::Options options;
    options.encoding = encoding;
    client.SetOptions(options);
    client.SetTimeouts(ShortTimeouts());
    ASSERT_TRUE(client.Connect(server.Server().toUtf8(), server.User(), server.Password()));
    ASSERT_TRUE(client.SetCurrentDirectory(server.RemoteDir()));
    WriteFile(local.filePath("up.txt"), "合同扫描件");
    const QByteArray path = QFile::encodeName(local.filePath("up.txt"));
    ASSERT_TRUE(client.PutFile("申请单.txt", path.constData())) << client.m_szLastError;
}

// Chinese names travel as GBK to a server without UTF8 (vsftpd's default) and as UTF-8 to one
// with it (pyftpdlib); a name GBK cannot write is refused before anything is sent.
TEST_F(VsftpdTest, NamesTravelInTheServersEncoding) {
    StoreChineseName(*server, client, local);
    EXPECT_TRUE(Holds(RawNames(server->Home()), "\xC9\xEA\xC7\xEB\xB5\xA5.txt"))
        << "GBK bytes on the server's disk";
    // A file an earlier client stored under its GBK name comes back by its Chinese name.
    {
        const QByteArray raw = QFile::encodeName(server->Home()) + "/\xBA\xCF.bin";
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "old", 3), 3);
        ::close(fd);
    }
    ASSERT_TRUE(client.GetFile("合.bin", Local("he.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(ReadFile(local.filePath("he.bin")), QByteArray("old"));
    // vsftpd keeps the bytes it is given: a file stored under its UTF-8 name is found by it.
    server->Put(QStringLiteral("合同.bin"), "utf-8 named");
    ASSERT_TRUE(client.GetFile("合同.bin", Local("ht.bin"), -1)) << client.m_szLastError;
    EXPECT_EQ(ReadFile(local.filePath("ht.bin")), QByteArray("utf-8 named"));
    EXPECT_FALSE(client.GetFile("缺.bin", Local("q.bin"), -1));
    EXPECT_NE(std::strstr(client.m_szLastError, "550"), nullptr) << client.m_szLastError;
    EXPECT_FALSE(client.PutFile("\xF0\x9F\x98\x80.txt", Local("up.txt")));
    EXPECT_NE(std::strstr(client.m_szLastError, "GBK"), nullptr) << client.m_szLastError;
}

// UTF-8 names travel to a server that lists UTF8, after OPTS UTF8 ON where it needs that, and
// whether the encoding was chosen by FEAT or set.
TEST_F(FtpTest, NamesTravelAsUtf8WhereTheServerListsUtf8) {
    for (const char* encoding : {"auto", "UTF-8"}) {
        SCOPED_TRACE(encoding);
        Start({"--require-opts-utf8"});
        CFTPClient c;
        StoreChineseName(*server, c, local, encoding);
        EXPECT_TRUE(Holds(RawNames(server->Home()), "申请单.txt")) << "UTF-8 bytes";
    }
}

TEST_F(VsftpdTest, FailuresCarryTheServersReplies) {
    Login(client);
    EXPECT_FALSE(client.SetCurrentDirectory("/missing"));
    EXPECT_NE(std::strstr(client.m_szLastError, "550"), nullptr) << client.m_szLastError;
    EXPECT_FALSE(client.GetFile("missing.bin", Local("m.bin"), -1));
    EXPECT_NE(std::strstr(client.m_szLastError, "550"), nullptr) << client.m_szLastError;
}

}  // namespace

namespace {

// The calls that check a site's files, in the server's own encoding: the listing names the
// Chinese file in UTF-8, its digest streams without a local copy, and removing takes one file.
void CheckRemoteFiles(FtpServer& server, CFTPClient& client, const QTemporaryDir& local) {
    StoreChineseName(server, client, local);
    server.Put(QStringLiteral("b.bin"), Pattern(300 * 1024, 5));
    SetMtime(server.PathOf(QStringLiteral("b.bin")), 1700000000);
    std::vector<std::string> names;
    ASSERT_TRUE(client.ListNames(&names)) << client.m_szLastError;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"b.bin", "申请单.txt"}));
    std::string hex;
    uint64_t size = 0;
    ASSERT_TRUE(client.RemoteSha256("申请单.txt", &hex, &size)) << client.m_szLastError;
    EXPECT_EQ(QString::fromStdString(hex),
              QCryptographicHash::hash("合同扫描件", QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(size, QByteArray("合同扫描件").size());
    ASSERT_TRUE(client.RemoteSha256("b.bin", &hex, &size)) << client.m_szLastError;
    EXPECT_EQ(QString::fromStdString(hex),
              QCryptographicHash::hash(Pattern(300 * 1024, 5), QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(client.RemoteSize("b.bin"), std::optional<uint64_t>(300 * 1024));
    EXPECT_EQ(client.RemoteTime("b.bin"), std::optional<std::time_t>(1700000000));
    EXPECT_FALSE(client.RemoteSize("none.bin"));
    EXPECT_FALSE(client.RemoteSha256("none.bin", &hex, &size));
    EXPECT_TRUE(client.RemoveFile("申请单.txt")) << client.m_szLastError;
    EXPECT_FALSE(client.RemoveFile("申请单.txt"));
    EXPECT_NE(std::strstr(client.m_szLastError, "550"), nullptr) << client.m_szLastError;
    ASSERT_TRUE(client.ListNames(&names));
    EXPECT_EQ(names, std::vector<std::string>{"b.bin"});
}

TEST_F(FtpTest, RemoteFilesAreListedDigestedAndRemoved) {
    Start();
    CheckRemoteFiles(*server, client, local);
}

// A name listed with a folder part is another folder's file: shortened to its last part it would
// name a different file here, which a site check would then remove.
TEST_F(FtpTest, ListedNamesWithAFolderPartAreLeftOutNotShortened) {
    Start({"--list-extra", "sub/y.12345678.part", "--list-extra", "/orders/z.bin"});
    server->Put(QStringLiteral("a.bin"), "a");
    Login(client);
    std::vector<std::string> names;
    ASSERT_TRUE(client.ListNames(&names)) << client.m_szLastError;
    EXPECT_EQ(names, std::vector<std::string>{"a.bin"});
}

TEST_F(VsftpdTest, RemoteFilesAreListedDigestedAndRemoved) {
    CheckRemoteFiles(*server, client, local);
}

}  // namespace
