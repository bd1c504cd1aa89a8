// A replace killed, or cut off from its database, at every step: afterwards, and after
// korvane-dbtool --check --repair, every registration row fetches exactly its own bytes,
// nothing registered is gone and nothing unregistered is left. Over a scripted store, on each
// database backend.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <functional>

#include "DownloadPlan.h"
#include "IntentLog.h"
#include "LeftoverUploads.h"
#include "Registration.h"
#include "SiteCheck.h"
#include "SqlScript.h"
#include "Statements.h"
#include "TADOQuery.h"
#include "TransferHistory.h"
#include "TransferJob.h"
#include "support/Files.h"
#include "support/ScriptedStore.h"
#include "support/TestDatabase.h"

using korvane::Registration;
using korvane::TransferJob;
using korvane::db::IntentLog;
using korvane::test::ScriptedStore;

namespace {

const QString kName = QStringLiteral("7000_doc.bin");

// A registration whose database goes away at one of its steps: that step and every later one
// fail as on a dead connection.
class FlakyRegistration : public Registration {
public:
    FlakyRegistration(korvane::db::TADOConnection& c, korvane::db::TADOQuery& q, Upload u,
                      QString goneAt)
        : Registration(c, q, std::move(u)), goneAt_(std::move(goneAt)) {}
    QList<korvane::db::Intent> Intents(bool ownOnly) override {
        if (gone_) {
            throw std::runtime_error("database gone");
        }
        return Registration::Intents(ownOnly);
    }
    QString Plan(const korvane::store::StoredCopy& copy, bool taken, QString* aside) override {
        return Gone(QStringLiteral("Plan")) ? Dead() : Registration::Plan(copy, taken, aside);
    }
    QString Settle(const korvane::store::StoredCopy& copy) override {
        return Gone(QStringLiteral("Settle")) ? Dead() : Registration::Settle(copy);
    }

private:
    bool Gone(const QString& step) {
        gone_ = gone_ || step == goneAt_;
        return gone_;
    }
    static QString Dead() { return QStringLiteral("server closed the connection unexpectedly"); }
    QString goneAt_;
    bool gone_ = false;
};

class RegistryTest : public korvane::test::ConnectedBackendTest {
protected:
    void SetUp() override {
        ConnectedBackendTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        query = std::make_unique<korvane::db::TADOQuery>(connection);
        Clear();
    }

    // The tables of a backend's database may have served an earlier test of this process.
    void Clear() {
        for (const char* table : {"res_download_path", "res_download_file", "res_download_version",
                                  "res_download_intent"}) {
            db->Exec(QStringLiteral("delete from zy.") + QLatin1String(table));
        }
        folder = std::make_shared<ScriptedStore::Folder>();
    }

    // Uploads content under kName as the window does; hangAt: the store call at which the
    // process dies; goneAt: the registration step at which the database goes away.
    bool Upload(const QByteArray& content, const QString& hangAt = {}, const QString& goneAt = {},
                int keep = 10, const std::function<void()>& whileHanging = {}) {
        NextSecond();
        folder->hangAt = hangAt;
        const QString local = dir.filePath(QStringLiteral("doc.bin"));
        korvane::test::WriteFile(local, content);
        korvane::TransferRequest request;
        request.remote = kName;
        request.local = local;
        Registration::Upload upload;
        upload.remote = kName;
        upload.insert = korvane::BuildInsertStatement(QStringLiteral("7000"), QStringLiteral("3"),
                                                      kName, 501, QString());
        upload.operatorId = 501;
        upload.keepVersions = keep;
        auto registration = std::make_unique<FlakyRegistration>(connection, *query, upload, goneAt);
        EXPECT_TRUE(registration->Claim([](int32_t) { return QString(); }).isEmpty());
        auto job = std::make_unique<TransferJob>(
            request, [this](const auto&) { return std::make_unique<ScriptedStore>(folder); });
        job->SetRegistrar(std::move(registration));
        QSignalSpy finished(job.get(), &TransferJob::finished);
        job->Start();
        if (!hangAt.isEmpty()) {
            // Killed: nothing of the job runs after this point.
            EXPECT_TRUE(QTest::qWaitFor([&] { return folder->hanging.load(); }, 10000));
            if (whileHanging) {
                whileHanging();
            }
            job.reset();
            folder->hangAt.clear();
            folder->dead = false;
            folder->hanging = false;
            return false;
        }
        EXPECT_TRUE(finished.wait(10000));
        last = job->Outcome();
        korvane::RecordHistory(*query, *job, 501);  // as the window does at every end
        if (job->Outcome().Succeeded()) {
            registeredAt = korvane::db::DatabaseNow(*query);
        }
        return job->Outcome().Succeeded();
    }

    // Rows of one name registered within one second cannot be told apart by create_date: the
    // next registration waits for the database's clock to move on.
    void NextSecond() {
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return korvane::db::DatabaseNow(*query) > registeredAt; }, 5000));
    }

    korvane::SiteCheck::Counts Repair() {
        ScriptedStore store(folder);
        korvane::SiteCheck::Counts counts;
        QString error;
        korvane::db::TADOQuery q(connection);
        EXPECT_TRUE(korvane::SiteCheck(q, store, true, stdout).Run(&counts, &error))
            << error.toStdString();
        EXPECT_EQ(counts.settled, counts.unfinished);
        EXPECT_EQ(counts.orphans, 0);
        return counts;
    }

    // Each row fetches its own content; nothing registered is gone; nothing else is there.
    void ExpectConsistent(const QList<QByteArray>& contents) {
        korvane::db::OpenStatement(*query,
                                   QStringLiteral("select create_date from zy.res_download_path "
                                                  "order by create_date"));
        QStringList dates;
        for (; !query->Eof(); query->Next()) {
            dates << query->FieldAsString(0);
        }
        query->Close();
        ASSERT_EQ(dates.size(), contents.size());
        const auto files = folder->Files();
        IntentLog log(*query);
        for (int i = 0; i < dates.size(); ++i) {
            const auto version = log.VersionFor(kName, dates[i]);
            ASSERT_TRUE(version) << "row " << i;
            EXPECT_EQ(files.value(version->storeName), contents[i]) << "row " << i;
            EXPECT_EQ(version->sha256, ScriptedStore::Sha256(contents[i])) << "row " << i;
        }
        QStringList kept;
        for (const auto& v : log.Versions(kName)) {
            kept << v.storeName;
        }
        kept.sort();
        EXPECT_EQ(files.keys(), kept);
        EXPECT_TRUE(log.Open().isEmpty());
    }

    std::unique_ptr<korvane::db::TADOQuery> query;
    korvane::TransferOutcome last;  // of the last upload that ended
    int64_t registeredAt = 0;
    std::shared_ptr<ScriptedStore::Folder> folder = std::make_shared<ScriptedStore::Folder>();
    QTemporaryDir dir;
};

// Every step of a replace, each ended by a kill or by its database going away.
struct Step {
    const char* name;
    const char* hangAt;  // the process dies at this store call
    const char* goneAt;  // the database goes away at this step
    bool registered;     // the replace took effect
};
const Step kSteps[] = {
    {"killed while sending", "Put", nullptr, false},
    {"killed after sending", "Info 7000_doc.bin", nullptr, false},
    {"killed before the first rename", "Rename 7000_doc.bin 7000_doc.bin.~", nullptr, false},
    {"killed between the renames", "Rename 7000_doc.bin.", nullptr, false},
    {"database gone before the renames", nullptr, "Plan", false},
    {"database gone at the commit", nullptr, "Settle", false},
    {"all well", nullptr, nullptr, true},
};

TEST_P(RegistryTest, AReplaceEndedAtAnyStepLeavesEveryRowItsOwnBytes) {
    const QByteArray a = korvane::test::Pattern(4000, 1);
    const QByteArray b = korvane::test::Pattern(4000, 2);  // the same size: digests tell them apart
    // The server refuses renames over a file: a replace never needs one.
    for (const Step& row : kSteps) {
        SCOPED_TRACE(row.name);
        Clear();
        folder->refuseOverwrite = true;
        ASSERT_TRUE(Upload(a));

        const bool done =
            Upload(b, QString::fromLatin1(row.hangAt), QString::fromLatin1(row.goneAt));
        EXPECT_EQ(done, row.registered);
        if (row.hangAt == nullptr) {
            // What the job could settle itself is settled; the rest waits for a repair.
            if (row.goneAt == nullptr) {
                ExpectConsistent(row.registered ? QList<QByteArray>{a, b} : QList<QByteArray>{a});
            }
        }
        Repair();
        ExpectConsistent(row.registered ? QList<QByteArray>{a, b} : QList<QByteArray>{a});
        // The next upload of the name works on what is left.
        ASSERT_TRUE(Upload(b));
        ExpectConsistent(row.registered ? QList<QByteArray>{a, b, b} : QList<QByteArray>{a, b});
    }
}

// What a killed host left is finished when a window starts next, without a repair.
TEST_P(RegistryTest, AReplaceKilledAtAnyStepIsFinishedAtTheNextStart) {
    const QByteArray a = korvane::test::Pattern(3000, 3);
    const QByteArray b = korvane::test::Pattern(3000, 4);
    for (const Step& row : kSteps) {
        if (row.hangAt == nullptr) {
            continue;
        }
        SCOPED_TRACE(row.name);
        Clear();
        ASSERT_TRUE(Upload(a));
        ASSERT_FALSE(Upload(b, QString::fromLatin1(row.hangAt)));
        ASSERT_FALSE(IntentLog(*query).Open().isEmpty());
        korvane::LeftoverUploads start(connection, *query, {}, [this](const auto&) {
            return std::make_unique<ScriptedStore>(folder);
        });
        QSignalSpy finished(&start, &korvane::LeftoverUploads::finished);
        ASSERT_TRUE(start.Start(501, 60));
        ASSERT_TRUE(finished.wait(10000));
        EXPECT_EQ(finished.first().at(0).toInt(), 1);
        EXPECT_EQ(finished.first().at(1).toInt(), 0);
        ExpectConsistent({a});
        EXPECT_FALSE(start.Start(501, 60));  // nothing is left to do
    }
}

// Two windows on one database: while one upload waits on the server in the middle of its
// renames, another window claims and releases a name at once; no database lock is held across
// a network wait (on SQLite such a lock stops every other writer).
TEST_P(RegistryTest, AnotherWindowsClaimIsNeverHeldUpByARename) {
    ASSERT_TRUE(Upload("first"));
    korvane::db::TADOConnection other;
    other.SetConnectionString(db->ConnectionString());
    other.SetConnected(true);
    korvane::db::TADOQuery otherQuery(other);
    bool claimed = false;
    Upload("second", QStringLiteral("Rename 7000_doc.bin 7000_doc.bin.~"), {}, 10, [&] {
        Registration::Upload upload;
        upload.remote = QStringLiteral("7001_other.bin");
        upload.operatorId = 502;
        Registration registration(other, otherQuery, upload);
        claimed = registration.Claim([](int32_t) { return QString(); }).isEmpty() &&
                  registration.Claimed();
    });
    EXPECT_TRUE(claimed);
}

TEST_P(RegistryTest, EachRowFetchesItsOwnVersionAndTheBoundPrunesTheOldest) {
    const QList<QByteArray> contents = {korvane::test::Pattern(100, 1),
                                        korvane::test::Pattern(200, 2),
                                        korvane::test::Pattern(300, 3)};
    for (const QByteArray& c : contents) {
        ASSERT_TRUE(Upload(c));
    }
    ExpectConsistent(contents);
    // Each row downloads its own content, verified, and an earlier one under a name that says so.
    korvane::db::OpenStatement(*query, QStringLiteral("select create_date from "
                                                      "zy.res_download_path order by create_date"));
    QStringList dates;
    for (; !query->Eof(); query->Next()) {
        dates << query->FieldAsString(0);
    }
    query->Close();
    ASSERT_EQ(dates.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const korvane::RowDownload plan = korvane::PlanRowDownload(*query, kName, dates[i]);
        EXPECT_EQ(plan.earlier, i < 2);
        EXPECT_EQ(plan.localName, i < 2 ? QStringLiteral("7000_doc.v%1.bin").arg(i + 1) : kName);
        korvane::TransferRequest request;
        request.direction = korvane::Direction::Download;
        request.remote = plan.remote;
        request.local = dir.filePath(plan.localName);
        TransferJob job(request,
                        [this](const auto&) { return std::make_unique<ScriptedStore>(folder); });
        job.SetExpected(plan.expected);
        QSignalSpy finished(&job, &TransferJob::finished);
        job.Start();
        ASSERT_TRUE(finished.wait(10000));
        EXPECT_TRUE(job.Outcome().Succeeded()) << job.Outcome().reason.toStdString();
        EXPECT_EQ(korvane::test::ReadFile(request.local), contents[i]);
    }
    EXPECT_EQ(folder->Files().keys(),
              (QStringList{kName, kName + QStringLiteral(".~1~"), kName + QStringLiteral(".~2~")}));

    // A bound of one keeps the newest earlier content; the oldest goes, and so does its row's
    // claim on it.
    ASSERT_TRUE(Upload(korvane::test::Pattern(400, 4), {}, {}, 1));
    EXPECT_EQ(folder->Files().keys(), (QStringList{kName, kName + QStringLiteral(".~3~")}));
}

TEST_P(RegistryTest, ARepairLeavesARegisteredLookAlikeAndALiveUploadAlone) {
    // An operator's file whose name looks like an upload's temporary one.
    const QString lookAlike = QStringLiteral("1_report.deadbeef.part");
    db->Exec(korvane::BuildInsertStatement(QStringLiteral("1"), QStringLiteral("3"), lookAlike, 501,
                                           QString()));
    folder->files[lookAlike] = "registered";
    // An upload in progress: its claim is alive and its temporary file is announced.
    Registration::Upload live;
    live.remote = QStringLiteral("2_live.bin");
    live.operatorId = 502;
    Registration registration(connection, *query, live);
    ASSERT_TRUE(registration.Claim([](int32_t) { return QString(); }).isEmpty());
    ASSERT_TRUE(registration.Journaled());
    ASSERT_TRUE(registration.Announce(QStringLiteral("2_live.bin.0badf00d.part")).isEmpty());
    folder->files[QStringLiteral("2_live.bin.0badf00d.part")] = "half";

    ScriptedStore store(folder);
    korvane::SiteCheck::Counts counts;
    QString error;
    korvane::db::TADOQuery q(connection);
    ASSERT_TRUE(korvane::SiteCheck(q, store, true, stdout).Run(&counts, &error));
    EXPECT_EQ(counts.orphans, 0);
    EXPECT_EQ(counts.unfinished, 0) << "a live upload is not unfinished";
    EXPECT_EQ(folder->Files().size(), 2);
}

// An upload that broke off keeps its temporary file for the next upload of the same file, which
// continues it, or starts again and says so where the server cannot; a repair leaves the file
// alone while it is held and collects it once abandoned, as an upload of another file does.
TEST_P(RegistryTest, ABrokenOffUploadIsContinuedOrCollected) {
    const QByteArray a = korvane::test::Pattern(4000, 1);
    const QByteArray b = korvane::test::Pattern(3000, 2);
    struct Row {
        const char* name;
        bool noResume;   // the server stores whole files only
        bool abandoned;  // held past the bound when the repair comes
        bool otherFile;  // the next upload is of another file
        bool continues;  // the next upload asks to continue the held file
    };
    const Row rows[] = {
        {"continued", false, false, false, true},
        {"the server cannot continue", true, false, false, true},
        {"another file under the name", false, false, true, false},
        {"abandoned", false, true, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Clear();
        folder->noResume = row.noResume;
        folder->breakPutAt = 1500;
        EXPECT_FALSE(Upload(a));
        EXPECT_TRUE(last.kept);
        EXPECT_TRUE(korvane::OutcomeMessage({}, last).contains(QStringLiteral("从中断处继续")));
        const QStringList held = folder->Files().keys().filter(QStringLiteral(".part"));
        ASSERT_EQ(held.size(), 1);
        EXPECT_EQ(folder->Files().value(held[0]), a.left(1500));
        if (row.abandoned) {
            db->Exec(QStringLiteral("update zy.res_download_intent set created=created-%1")
                         .arg(korvane::db::kHeldUploadSeconds + 1));
        } else {
            // A window that starts leaves a held upload alone.
            korvane::LeftoverUploads start(connection, *query, {}, [this](const auto&) {
                return std::make_unique<ScriptedStore>(folder);
            });
            EXPECT_FALSE(start.Start(501, 60));
        }
        const korvane::SiteCheck::Counts counts = Repair();
        EXPECT_EQ(counts.held, row.abandoned ? 0 : 1);
        EXPECT_EQ(counts.unfinished, row.abandoned ? 1 : 0);
        EXPECT_EQ(folder->Files().contains(held[0]), !row.abandoned);

        ASSERT_TRUE(Upload(row.otherFile ? b : a)) << last.reason.toStdString();
        const QString put = folder->Calls().filter(QStringLiteral("Put ")).last();
        EXPECT_EQ(put == QStringLiteral("Put %1 from 1500").arg(held[0]), row.continues)
            << put.toStdString();
        EXPECT_EQ(last.warnings.join(u'|').contains(QStringLiteral("已从头重新上传")),
                  row.noResume);
        ExpectConsistent({row.otherFile ? b : a});
    }
}

TEST_P(RegistryTest, EveryUploadAndItsFailureIsInTheHistory) {
    db->Exec(QStringLiteral("delete from zy.res_download_history"));
    ASSERT_TRUE(Upload("first"));
    EXPECT_FALSE(Upload("second", {}, QStringLiteral("Settle")));
    ASSERT_TRUE(Upload("third"));
    korvane::db::History history(*query);
    const auto events = history.ForName(kName);
    ASSERT_EQ(events.size(), 3);
    QStringList kinds;
    for (const auto& e : events) {
        kinds << e.event;
        EXPECT_EQ(e.orderId, QStringLiteral("7000"));
        EXPECT_EQ(e.opId, 501);
        EXPECT_TRUE(QDateTime::fromString(e.at, Qt::ISODate).isValid()) << e.at.toStdString();
    }
    kinds.sort();
    EXPECT_EQ(kinds, (QStringList{QStringLiteral("replace"), QStringLiteral("replace failed"),
                                  QStringLiteral("upload")}));
    const auto replaced = std::find_if(events.begin(), events.end(),
                                       [](const auto& e) { return e.event == u"replace"; });
    ASSERT_NE(replaced, events.end());
    EXPECT_EQ(replaced->version, 2);
    EXPECT_EQ(history.ForOrder(QStringLiteral("7000")).size(), 3);
    EXPECT_EQ(history.ForOperator(501).size(), 3);
}

TEST_P(RegistryTest, AMillionRowsAreCheckedWithinHalfAMinuteWithOrphansListed) {
    // A million rows of 200,000 names, every fifth name's file gone; two files nothing refers to.
    // In parts that each stay within the fixture's statement timeout.
    for (int part = 0; part < 5; ++part) {
        const QString from = QString::number(part * 200000);
        const QString to = QString::number(part * 200000 + 199999);
        db->Exec(GetParam() == korvane::db::Backend::SQLite
                     ? QStringLiteral("with recursive n(i) as (select %1 union all select i+1 "
                                      "from n where i<%2) insert into zy.res_download_path select "
                                      "i,1,'o'||(i%200000)||'.bin',501,'2026-01-01 00:00:00','' "
                                      "from n")
                           .arg(from, to)
                     : QStringLiteral("insert into zy.res_download_path select i,1,'o'||"
                                      "(i%200000)||'.bin',501,timestamp '2026-01-01 00:00:00','' "
                                      "from generate_series(%1,%2) as i")
                           .arg(from, to));
    }
    for (int i = 0; i < 200000; ++i) {
        if (i % 5 != 0) {
            folder->files.insert(QStringLiteral("o%1.bin").arg(i), QByteArray());
        }
    }
    folder->files.insert(QStringLiteral("stray.pdf"), "x");
    folder->files.insert(QStringLiteral("old.12345678.part"), "x");
    ScriptedStore store(folder);
    korvane::SiteCheck::Counts counts;
    QString error;
    QTemporaryFile out;
    ASSERT_TRUE(out.open());
    std::FILE* file = fdopen(dup(out.handle()), "w");
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(korvane::SiteCheck(*query, store, false, file).Run(&counts, &error));
    const qint64 ms = clock.elapsed();
    std::fclose(file);
    std::printf("check of 1,000,000 rows: %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 30000);
    EXPECT_EQ(counts.missing, 40000);
    EXPECT_EQ(counts.orphans, 2);
    const QString text = QString::fromUtf8(korvane::test::ReadFile(out.fileName()));
    EXPECT_EQ(text.count(QStringLiteral("missing: ")),
              korvane::SiteCheck::kLinesPerKind + 1);  // the last counts the rest
    EXPECT_TRUE(text.contains(QStringLiteral("missing: 39980 more not listed")));
    EXPECT_TRUE(text.contains(QStringLiteral("orphan: old.12345678.part")));
    EXPECT_TRUE(text.contains(QStringLiteral("orphan: stray.pdf")));
}

INSTANTIATE_TEST_SUITE_P(On, RegistryTest,
                         ::testing::Values(korvane::db::Backend::SQLite,
                                           korvane::db::Backend::PostgreSQL),
                         korvane::test::BackendTestName);

}  // namespace
