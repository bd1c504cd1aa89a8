// Several operators at once: 8 processes, each with its own connection, register 100 files
// each through the module's INSERT at the same time; afterwards every row is there exactly once.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>

#include "TADOConnection.h"
#include "TADOQuery.h"
#include "support/TestDatabase.h"

using korvane::db::Backend;
using korvane::test::TestDatabase;

namespace {

constexpr int kWorkers = 8;
constexpr int kPerWorker = 100;

class Concurrency : public ::testing::TestWithParam<Backend> {};

TEST_P(Concurrency, EightOperatorsRegisterAtOnceWithoutLossOrDoubles) {
    QString why;
    auto db = TestDatabase::Create(GetParam(), &why);
    if (!db) {
        GTEST_SKIP() << why.toStdString();
    }
    std::vector<std::unique_ptr<QProcess>> workers;
    QElapsedTimer timer;
    timer.start();
    for (int op = 1; op <= kWorkers; ++op) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(QStringLiteral(KORVANE_BINARY_DIR "/tests/register_worker"),
                 {db->ConnectionString(), QString::number(op), QString::number(kPerWorker)});
        ASSERT_TRUE(p->waitForStarted(10000));
        workers.push_back(std::move(p));
    }
    int failures = 0;
    for (auto& p : workers) {
        ASSERT_TRUE(p->waitForFinished(300000)) << "a worker did not finish within 5 minutes";
        const QString out = QString::fromUtf8(p->readAll());
        EXPECT_EQ(p->exitCode(), 0) << out.left(2000).toStdString();
        if (p->exitCode() != 0) {
            ++failures;
        }
    }
    const double seconds = static_cast<double>(timer.elapsed()) / 1000.0;

    korvane::db::TADOConnection c;
    c.SetConnectionString(db->ConnectionString());
    c.SetConnected(true);
    korvane::db::TADOQuery q(c);
    q.AddSQL(QStringLiteral(
        "select count(*) as n, count(distinct down_path) as paths, count(distinct down_id) as ids "
        "from zy.res_download_path"));
    q.Open();
    const int rows = q.FieldAsInteger(QStringLiteral("n"));
    EXPECT_EQ(rows, kWorkers * kPerWorker);
    EXPECT_EQ(q.FieldAsInteger(QStringLiteral("paths")), kWorkers * kPerWorker) << "no row doubled";
    EXPECT_EQ(q.FieldAsInteger(QStringLiteral("ids")), kWorkers * kPerWorker);
    std::printf(
        "[ figures ] %s: %d processes x %d rows -> %d rows in %.1f s (%.0f rows/s), "
        "%d failing processes\n",
        korvane::test::BackendName(GetParam()), kWorkers, kPerWorker, rows, seconds, rows / seconds,
        failures);
}

INSTANTIATE_TEST_SUITE_P(On, Concurrency, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         korvane::test::BackendTestName);

}  // namespace
