// Every step of an upload and a download over a scripted store: each failure, and each cancel,
// is a row; what the job then did to the folder, the registration and the local file is checked.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

#include "LocalCopy.h"
#include "TransferJob.h"
#include "support/Files.h"
#include "support/ScriptedStore.h"

using korvane::TransferJob;
using korvane::TransferOutcome;
using korvane::store::Fault;
using korvane::test::ScriptedStore;
using Step = TransferOutcome::Step;

namespace {

// Writes down what the job asked of the database.
class FakeRegistrar : public korvane::UploadRegistrar {
public:
    explicit FakeRegistrar(QStringList* log, QString refuse = {}, QString failCommit = {})
        : log_(log), refuse_(std::move(refuse)), failCommit_(std::move(failCommit)) {}
    QString Register(const korvane::store::StoredCopy& copy) override {
        *log_ << QStringLiteral("Register %1").arg(copy.size);
        EXPECT_EQ(copy.sha256.size(), 64);
        return refuse_;
    }
    QString Commit() override {
        *log_ << QStringLiteral("Commit");
        return failCommit_;
    }
    void Rollback() override { *log_ << QStringLiteral("Rollback"); }
    void Release() override { *log_ << QStringLiteral("Release"); }

private:
    QStringList* log_;
    QString refuse_;
    QString failCommit_;
};

struct Bench {
    std::shared_ptr<ScriptedStore::Folder> folder = std::make_shared<ScriptedStore::Folder>();
    QTemporaryDir dir;
    QStringList db;

    std::unique_ptr<TransferJob> Job(korvane::Direction direction, const QString& remote) {
        korvane::TransferRequest request;
        request.direction = direction;
        request.remote = remote;
        request.local = dir.filePath(remote);
        return std::make_unique<TransferJob>(request, [folder = folder](const auto&) {
            return std::make_unique<ScriptedStore>(folder);
        });
    }
    static bool Finish(TransferJob& job) {
        QSignalSpy finished(&job, &TransferJob::finished);
        job.Start();
        return finished.wait(10000);
    }
};

// The calls the job made after logging in, without the closing one.
QStringList Steps(const QStringList& calls) {
    QStringList out = calls;
    out.removeAll(QStringLiteral("Open"));
    out.removeAll(QStringLiteral("Close"));
    return out;
}

TEST(TransferSteps, UploadFailsAtEveryStepWithoutDamage) {
    const QByteArray old = "the registered content";
    const QByteArray fresh = korvane::test::Pattern(5000);
    struct Row {
        const char* name;
        const char* verb;  // the verb that fails; null: none
        Fault fault;
        QString refuse;      // the registration's refusal
        QString failCommit;  // the commit's failure
        Step reached;
        bool cancelled;
        QStringList steps;  // after Open, in order
        QStringList db;
        bool replaced;  // the file under the name is the new one
    };
    const QString tmp = QStringLiteral("%TMP%");
    const Row rows[] = {
        {"all well",
         nullptr,
         Fault::None,
         {},
         {},
         Step::Done,
         false,
         {"Put %TMP%", "Replace %TMP% 7_a.bin"},
         {"Register 5000", "Commit", "Release"},
         true},
        {"refused login",
         "Open",
         Fault::Credentials,
         {},
         {},
         Step::Login,
         false,
         {},
         {"Release"},
         false},
        {"the store broke off",
         "Put",
         Fault::Broken,
         {},
         {},
         Step::Transfer,
         false,
         {"Put %TMP%", "Remove %TMP%"},
         {"Release"},
         false},
        {"cancelled while sending",
         "Put",
         Fault::Cancelled,
         {},
         {},
         Step::Transfer,
         true,
         {"Put %TMP%", "Remove %TMP%"},
         {"Release"},
         false},
        {"registration refused",
         nullptr,
         Fault::None,
         QStringLiteral("数据保存失败"),
         {},
         Step::Register,
         false,
         {"Put %TMP%", "Remove %TMP%"},
         {"Register 5000", "Rollback", "Release"},
         false},
        {"put in place refused",
         "Replace",
         Fault::Server,
         {},
         {},
         Step::Publish,
         false,
         {"Put %TMP%", "Replace %TMP% 7_a.bin", "Remove %TMP%"},
         {"Register 5000", "Rollback", "Release"},
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bench run;
        run.folder->files[QStringLiteral("7_a.bin")] = old;
        if (row.verb != nullptr) {
            run.folder->Fail(QString::fromLatin1(row.verb), row.fault, QStringLiteral("why"));
        }
        korvane::test::WriteFile(run.dir.filePath(QStringLiteral("7_a.bin")), fresh);
        auto job = run.Job(korvane::Direction::Upload, QStringLiteral("7_a.bin"));
        job->SetRegistrar(std::make_unique<FakeRegistrar>(&run.db, row.refuse, row.failCommit));
        ASSERT_TRUE(Bench::Finish(*job));

        EXPECT_EQ(job->Outcome().reached, row.reached);
        EXPECT_EQ(job->Outcome().cancelled, row.cancelled);
        QStringList steps;
        for (const QString& s : row.steps) {
            steps << QString(s).replace(tmp, job->StoredName());
        }
        EXPECT_EQ(Steps(run.folder->Calls()), steps);
        EXPECT_EQ(run.db, row.db);
        const auto files = run.folder->Files();
        EXPECT_EQ(files.value(QStringLiteral("7_a.bin")), row.replaced ? fresh : old);
        EXPECT_EQ(files.size(), 1)
            << "nothing temporary is left: " << files.keys().join(u',').toStdString();
    }
}

TEST(TransferSteps, UploadCleansUpOnAFreshSessionWhenTheOldOneBroke) {
    Bench run;
    run.folder->Fail(QStringLiteral("Put"), Fault::Broken);
    run.folder->alive = false;
    korvane::test::WriteFile(run.dir.filePath(QStringLiteral("7_a.bin")), "x");
    auto job = run.Job(korvane::Direction::Upload, QStringLiteral("7_a.bin"));
    ASSERT_TRUE(Bench::Finish(*job));
    const QStringList calls = run.folder->Calls();
    const QString put = QStringLiteral("Put ") + job->StoredName();
    ASSERT_TRUE(calls.contains(put));
    EXPECT_EQ(calls.mid(calls.indexOf(put) + 1, 3),
              (QStringList{QStringLiteral("Close"), QStringLiteral("Open"),
                           QStringLiteral("Remove ") + job->StoredName()}));
    EXPECT_TRUE(korvane::OutcomeMessage(job->Request(), job->Outcome()).contains("传输中断"));
}

TEST(TransferSteps, DownloadIsVerifiedOrKeptAside) {
    const QByteArray content = korvane::test::Pattern(3000);
    const QString sha = ScriptedStore::Sha256(content);
    struct Row {
        const char* name;
        const char* verb;
        Fault fault;
        QString expectedSha;  // empty: nothing expected
        Step reached;
        bool cancelled;
        const char* message;  // part of what the operator is told; null: nothing
        bool keptAside;
    };
    const Row rows[] = {
        {"verified", nullptr, Fault::None, sha, Step::Done, false, nullptr, false},
        {"unchecked", nullptr, Fault::None, {}, Step::Done, false, nullptr, false},
        {"differs from its record", nullptr, Fault::None, QString(64, u'0'), Step::Verify, false,
         "服务器上的文件与登记时不一致", true},
        {"folder refused", "Open", Fault::Folder, sha, Step::Directory, false, "设置远程路径出错",
         false},
        {"unreachable", "Open", Fault::Unreachable, sha, Step::Login, false, "找不到远程FTP服务器",
         false},
        {"timed out", "Get", Fault::Timeout, sha, Step::Transfer, false, "传输中断", false},
        {"cancelled", "Get", Fault::Cancelled, sha, Step::Transfer, true, "已取消下载", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bench run;
        run.folder->files[QStringLiteral("7_a.bin")] = content;
        if (row.verb != nullptr) {
            run.folder->Fail(QString::fromLatin1(row.verb), row.fault);
        }
        auto job = run.Job(korvane::Direction::Download, QStringLiteral("7_a.bin"));
        if (!row.expectedSha.isEmpty()) {
            job->SetExpected(korvane::ExpectedFile{3000, row.expectedSha});
        }
        ASSERT_TRUE(Bench::Finish(*job));
        EXPECT_EQ(job->Outcome().reached, row.reached);
        EXPECT_EQ(job->Outcome().cancelled, row.cancelled);
        const QString message = korvane::OutcomeMessage(job->Request(), job->Outcome());
        if (row.message == nullptr) {
            EXPECT_TRUE(message.isEmpty()) << message.toStdString();
        } else {
            EXPECT_TRUE(message.contains(QString::fromUtf8(row.message))) << message.toStdString();
        }
        const QString local = job->Request().local;
        EXPECT_EQ(QFile::exists(local + QStringLiteral(".mismatch")), row.keptAside);
        if (row.reached == Step::Done) {
            EXPECT_EQ(korvane::test::ReadFile(local), content);
        }
    }
}

// What a download's local name held is never lost: an equal file is the download (no session,
// nothing touched), another file is replaced only with the operator's word and else kept beside
// the download, a copy broken off under the final name is completed, and no link is followed.
TEST(TransferSteps, ALocalFileIsNeverLost) {
    const QByteArray content = korvane::test::Pattern(3000);
    enum Kind { Plain, ReadOnly, Link, PartLink };
    struct Row {
        const char* name;
        Kind kind;
        QByteArray held;  // Plain, ReadOnly: under the local name; else in the links' target
        bool replace;
        bool fetched;
        const char* savedAs;  // the file name of the download; null: it failed
        bool heldKept;        // the held file (or link) is still under the local name
    };
    const QByteArray mine = "the operator's own";
    const Row rows[] = {
        {"equal", Plain, content, false, false, "7_a.bin", true},
        {"shorter, another file", Plain, mine, false, true, "7_a (1).bin", true},
        {"longer, another file", Plain, QByteArray(4000, 'x'), false, true, "7_a (1).bin", true},
        {"another file replaced", Plain, mine, true, true, "7_a.bin", false},
        {"a copy broken off", Plain, content.left(1000), false, true, "7_a.bin", false},
        {"a read-only copy broken off", ReadOnly, content.left(1000), false, true, "7_a (1).bin",
         true},
        {"a link", Link, mine, false, true, "7_a (1).bin", true},
        {"a link replaced", Link, mine, true, true, "7_a.bin", false},
        {"a .part that is a link", PartLink, mine, false, false, nullptr, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bench run;
        run.folder->files[QStringLiteral("7_a.bin")] = content;
        auto job = run.Job(korvane::Direction::Download, QStringLiteral("7_a.bin"));
        const QString local = job->Request().local;
        const QString outside = run.dir.filePath(QStringLiteral("outside.txt"));
        korvane::test::WriteFile(row.kind == Plain || row.kind == ReadOnly ? local : outside,
                                 row.held);
        if (row.kind == ReadOnly) {
            QFile::setPermissions(local, QFile::ReadOwner);
        } else if (row.kind != Plain) {
            QFile::link(outside, row.kind == Link ? local : korvane::PartPath(local));
        }
        job->SetExpected(korvane::ExpectedFile{3000, ScriptedStore::Sha256(content)});
        job->SetReplace(row.replace);
        ASSERT_TRUE(Bench::Finish(*job));
        const TransferOutcome& outcome = job->Outcome();
        EXPECT_EQ(run.folder->Calls().contains(QStringLiteral("Get 7_a.bin")), row.fetched);
        EXPECT_EQ(outcome.alreadyThere, !row.fetched && row.savedAs != nullptr);
        EXPECT_EQ(run.folder->Calls().contains(QStringLiteral("Open")), !outcome.alreadyThere)
            << "an equal file needs no session";
        if (row.savedAs == nullptr) {
            EXPECT_EQ(outcome.fault, Fault::Local);
        } else {
            EXPECT_TRUE(outcome.Succeeded()) << outcome.reason.toStdString();
            EXPECT_EQ(outcome.savedAs, run.dir.filePath(QString::fromUtf8(row.savedAs)));
            EXPECT_EQ(korvane::test::ReadFile(outcome.savedAs), content);
            EXPECT_FALSE(QFile::exists(korvane::PartPath(outcome.savedAs)));
        }
        if (row.heldKept && row.kind != Link) {
            EXPECT_EQ(korvane::test::ReadFile(local), row.held);
        }
        EXPECT_EQ(QFileInfo(local).isSymLink(), row.kind == Link && row.heldKept);
        if (row.kind == Link || row.kind == PartLink) {
            EXPECT_EQ(korvane::test::ReadFile(outside), row.held) << "never written through";
        }
    }
}

}  // namespace
