// The transfer driver without a window: the progress text, and a transfer job on its own worker
// that a cancel ends, against a real server.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include "CFTPClient.h"
#include "FtpTrace.h"
#include "LocalCopy.h"
#include "Transfer.h"
#include "TransferJob.h"
#include "TransferProgress.h"
#include "support/Files.h"
#include "support/FtpServers.h"

using korvane::Direction;
using korvane::ProgressSnapshot;

namespace {

TEST(TransferProgress, Text) {
    struct Row {
        const char* name;
        Direction direction;
        ProgressSnapshot s;
        const char* text;
    };
    const uint64_t MiB = 1 << 20;
    const Row rows[] = {
        {"upload half way",
         Direction::Upload,
         {50 * MiB, 100 * MiB, 0, 5000, 100},
         "正在上传 a.bin\n50%  50.0 MiB / 100.0 MiB\n平均速度 10.0 MiB/s，剩余时间 0:06"},
        {"resumed download counts only new bytes",
         Direction::Download,
         {60 * MiB, 100 * MiB, 40 * MiB, 2000, 0},
         "正在下载 a.bin（续传，已有 40.0 MiB）\n60%  60.0 MiB / 100.0 MiB\n"
         "平均速度 10.0 MiB/s，剩余时间 0:05"},
        {"size unknown, silent server",
         Direction::Download,
         {1536, 0, 0, 9000, 3500},
         "正在下载 a.bin\n已传 1.5 KiB\n平均速度 170 B/s\n正在等待服务器响应（3秒）…"},
        {"nothing yet, gigabytes",
         Direction::Upload,
         {0, 3 * 1024 * MiB, 0, 100, 0},
         "正在上传 a.bin\n0%  0 B / 3.00 GiB"},
        {"hours left",
         Direction::Upload,
         {MiB, 10 * 1024 * MiB, 0, 1000, 0},
         "正在上传 a.bin\n0%  1.0 MiB / 10.00 GiB\n平均速度 1.0 MiB/s，剩余时间 2:50:40"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(
            korvane::ProgressText(row.direction, QStringLiteral("a.bin"), row.s).toStdString(),
            row.text);
    }
}

// A cancel ends the job's transfer within a second, also while the server sends
// nothing, and says what it left behind.
TEST(TransferDriver, CancelEndsAStalledDownloadWithinASecond) {
    korvane::test::PyFtpServer server({"--stall-after", "70000"});
    ASSERT_TRUE(server.Started()) << server.Error().toStdString();
    server.Put(QStringLiteral("big.bin"), korvane::test::Pattern(400000, 9));
    QTemporaryDir local;
    korvane::TransferRequest job;
    job.settings.endpoint.server = server.Server();
    job.settings.endpoint.user = QString::fromLatin1(server.User());
    job.settings.endpoint.password = QString::fromLatin1(server.Password());
    job.settings.endpoint.folder = QStringLiteral("/");
    job.settings.ftp.restart = ftp::RestartRule::Offset;  // the configuration's default
    job.direction = Direction::Download;
    job.remote = QStringLiteral("big.bin");
    job.local = local.filePath(QStringLiteral("big.bin"));
    korvane::TransferJob transfer(job);
    transfer.Start();
    const korvane::TransferState& state = *transfer.State();
    ASSERT_TRUE(QTest::qWaitFor([&state] { return state.done.load() >= 70000; }, 10000));
    QTest::qWait(300);  // the server is silent now
    QElapsedTimer cancel;
    cancel.start();
    transfer.Cancel();
    ASSERT_TRUE(QTest::qWaitFor([&transfer] { return !transfer.Running(); }, 5000));
    EXPECT_LT(cancel.elapsed(), 1000);
    EXPECT_EQ(state.total.load(), 400000u);
    const korvane::TransferOutcome& outcome = transfer.Outcome();
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.reached, korvane::TransferOutcome::Step::Transfer);
    const QString part = korvane::PartPath(job.local);
    EXPECT_EQ(QFileInfo(part).size(), 70000) << "the bytes that arrived stay";
    EXPECT_FALSE(QFileInfo::exists(job.local)) << "no half file under the final name";
    EXPECT_EQ(
        korvane::OutcomeMessage(job, outcome),
        QStringLiteral("已取消下载，已收到的部分保留在[%1]，再次下载时从那里续传。").arg(part));
}

// A cancelled download promises a resume only where the next download will make one: more than
// the bytes a resume compares again are held, and the restart rule takes the server's words.
TEST(TransferDriver, ACancelPromisesAResumeOnlyWhereOneWillHappen) {
    QTemporaryDir local;
    korvane::TransferRequest job;
    job.direction = Direction::Download;
    job.remote = QStringLiteral("a.bin");
    job.local = local.filePath(QStringLiteral("a.bin"));
    korvane::TransferOutcome outcome;
    outcome.cancelled = true;
    outcome.reached = korvane::TransferOutcome::Step::Transfer;
    struct Row {
        const char* name;
        qsizetype held;  // -1: no file
        ftp::RestartRule rule;
        const char* text;
    };
    const Row rows[] = {
        {"resumable", 70000, ftp::RestartRule::Offset, "，再次下载时从那里续传。"},
        {"no more than the overlap", 65536, ftp::RestartRule::Offset, "，再次下载时将从头下载。"},
        {"strict words unknown", 70000, ftp::RestartRule::Strict, "。"},
        {"nothing kept", -1, ftp::RestartRule::Offset, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString part = korvane::PartPath(job.local);
        QFile::remove(part);
        if (row.held >= 0) {
            korvane::test::WriteFile(part, QByteArray(row.held, 'x'));
        }
        job.settings.ftp.restart = row.rule;
        const QString expected =
            row.text == nullptr ? QStringLiteral("已取消下载。")
                                : QStringLiteral("已取消下载，已收到的部分保留在[%1]").arg(part) +
                                      QString::fromUtf8(row.text);
        EXPECT_EQ(korvane::OutcomeMessage(job, outcome), expected);
    }
}

// A session that TLS "auto" leaves unencrypted is a warning of korvane.ftp, shown without the
// debug rules that show the conversation.
TEST(TransferDriver, AnUnencryptedAutoSessionIsAWarningOfTheFtpCategory) {
    korvane::test::PyFtpServer& server = korvane::test::PyFtpServer::Shared();
    server.Reset();
    ASSERT_TRUE(server.Started()) << server.Error().toStdString();
    static QStringList warnings;
    warnings.clear();
    korvane::InstallFtpTrace();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (type == QtWarningMsg && QLatin1String(context.category) == "korvane.ftp") {
                warnings << text;
            }
        });
    CFTPClient client;
    CFTPClient::Options options;
    options.tls.mode = ftp::TlsMode::Auto;
    client.SetOptions(options);
    const bool in = client.Connect(server.Server().toUtf8().constData(), "op", "secret");
    qInstallMessageHandler(previous);
    ASSERT_TRUE(in) << client.m_szLastError;
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("本次会话不加密")))
        << warnings[0].toStdString();
}

}  // namespace
