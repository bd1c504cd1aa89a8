// The registration record: one writer per name across processes, the record and the
// registration in one transaction, a database without the table, and the site check.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include "DbError.h"
#include "FileRecord.h"
#include "IntentLog.h"
#include "SqlScript.h"
#include "Statements.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "support/Files.h"
#include "support/FtpServers.h"
#include "support/PostgresServer.h"
#include "support/TestDatabase.h"
#include "support/TextChecks.h"

using korvane::db::Backend;
using korvane::db::DbError;
using korvane::db::FileRecord;
using korvane::db::StoredFile;
using korvane::db::UploadClaim;
using korvane::test::Contains;
using korvane::test::TestDatabase;
using Result = FileRecord::ClaimResult;

namespace {

const QString kDbTool = QStringLiteral(KORVANE_BINARY_DIR "/db/korvane-dbtool");
const QString kWorker = QStringLiteral(KORVANE_BINARY_DIR "/tests/claim_worker");

QString Sha256(const QByteArray& content) {
    return QString::fromLatin1(
        QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
}

struct ToolRun {
    int exitCode = -1;
    QString output;
};

ToolRun RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    ToolRun r;
    if (p.waitForFinished(120000)) {
        r.exitCode = p.exitCode();
    }
    r.output = QString::fromUtf8(p.readAll());
    return r;
}

class Record : public korvane::test::ConnectedBackendTest {
protected:
    // The fixture's count of rows of a statement "select count(*) as n ...".
    int Count(const QString& sql) {
        korvane::db::TADOQuery q(db->Fixture());
        korvane::db::OpenStatement(q, sql);
        return q.FieldAsInteger(QStringLiteral("n"));
    }
    QString Insert(const QString& name) const {
        return korvane::BuildInsertStatement(QStringLiteral("7"), QStringLiteral("1"), name, 501,
                                             QStringLiteral("r"));
    }

    korvane::db::TADOQuery query{connection};
    FileRecord record{query};
    const UploadClaim a{QStringLiteral("token-a"), 501, QStringLiteral("host'A"), 900, 1000};
    const UploadClaim b{QStringLiteral("token-b"), 502, QStringLiteral("hostB"), 1030, 1030};
};

UploadClaim At(UploadClaim c, int64_t seen) {
    c.seenEpoch = seen;
    return c;
}

TEST_P(Record, OneWriterPerNameAndOnlyMyClaimIsMine) {
    const QString name = QStringLiteral("7_it's.bin");
    constexpr int kExpire = 60;
    ASSERT_TRUE(record.Available());
    EXPECT_EQ(record.Claim(name, a, kExpire, nullptr), Result::Claimed);
    UploadClaim holder;
    EXPECT_EQ(record.Claim(name, b, kExpire, &holder), Result::Busy);
    EXPECT_EQ(holder.token, a.token);
    EXPECT_EQ(holder.opId, 501);
    EXPECT_EQ(holder.host, a.host);
    EXPECT_EQ(holder.sinceEpoch, 900);
    EXPECT_EQ(holder.seenEpoch, 1000);
    EXPECT_EQ(record.Claim(name, At(a, 1040), kExpire, nullptr), Result::Claimed) << "renewed";
    EXPECT_TRUE(record.Touch(name, a.token, 1050));
    EXPECT_EQ(record.Claim(name, At(b, 1110), kExpire, &holder), Result::Busy) << "60 s exactly";
    EXPECT_EQ(record.Claim(name, At(b, 1111), kExpire, nullptr), Result::Claimed) << "expired";
    EXPECT_FALSE(record.Touch(name, a.token, 1112)) << "taken over";
    record.Release(name, a.token);
    EXPECT_EQ(record.Claim(name, At(a, 1112), kExpire, &holder), Result::Busy);
    EXPECT_EQ(holder.token, b.token) << "releasing leaves another's claim";
    const int64_t size = 5000000000;  // beyond 32 bits
    const StoredFile file{name, size, Sha256("hello"), 502, QStringLiteral("hostB"), {}};
    EXPECT_THROW(record.Record(file, a.token), DbError);
    EXPECT_FALSE(record.Current(name)) << "a lost claim records nothing";
    record.Record(file, b.token);
    const auto current = record.Current(name);
    ASSERT_TRUE(current);
    EXPECT_EQ(current->size, size);
    EXPECT_EQ(current->sha256, Sha256("hello"));
    EXPECT_EQ(current->opId, 502);
    EXPECT_EQ(current->host, QStringLiteral("hostB"));
    EXPECT_TRUE(
        QDateTime::fromString(current->storedAt, QStringLiteral("yyyy-MM-dd hh:mm:ss")).isValid())
        << current->storedAt.toStdString();
    EXPECT_EQ(record.Claim(name, At(a, 1113), kExpire, nullptr), Result::Claimed)
        << "recording ends the claim";
    record.Release(name, a.token);
    EXPECT_TRUE(record.Current(name)) << "releasing keeps the record";

    const QString fresh = QStringLiteral("8_new.bin");
    EXPECT_EQ(record.Claim(fresh, a, kExpire, nullptr), Result::Claimed);
    record.Release(fresh, a.token);
    EXPECT_EQ(record.All().size(), 1);
    EXPECT_EQ(Count(QStringLiteral("select count(*) as n from zy.res_download_file")), 1)
        << "a released name without a file leaves no row";
}

TEST_P(Record, TheRecordAndTheRegistrationCommitOrRollBackTogether) {
    const QString kept = QStringLiteral("1_kept.bin");
    const QString undone = QStringLiteral("2_undone.bin");
    const QString refused = QStringLiteral("3_refused.bin");
    for (const QString& name : {kept, undone, refused}) {
        ASSERT_EQ(record.Claim(name, a, 60, nullptr), Result::Claimed);
    }
    connection.BeginTransaction();
    EXPECT_THROW(connection.BeginTransaction(), DbError);
    record.Record({kept, 3, Sha256("abc"), 501, a.host, {}}, a.token);
    korvane::db::ExecStatement(query, Insert(kept));
    connection.Commit();

    connection.BeginTransaction();
    record.Record({undone, 3, Sha256("abc"), 501, a.host, {}}, a.token);
    korvane::db::ExecStatement(query, Insert(undone));
    connection.Rollback();
    connection.Rollback();  // harmless once over

    db->RefuseInserts();
    connection.BeginTransaction();
    record.Record({refused, 3, Sha256("abc"), 501, a.host, {}}, a.token);
    EXPECT_THROW(korvane::db::ExecStatement(query, Insert(refused)), DbError);
    connection.Rollback();

    EXPECT_TRUE(record.Current(kept));
    EXPECT_EQ(Count(QStringLiteral("select count(*) as n from zy.res_download_path")), 1);
    for (const QString& name : {undone, refused}) {
        EXPECT_FALSE(record.Current(name)) << name.toStdString();
        UploadClaim holder;
        EXPECT_EQ(record.Claim(name, b, 60, &holder), Result::Busy) << "the claim is back";
        EXPECT_EQ(holder.token, a.token);
    }
}

TEST_P(Record, WithoutTheTableNothingIsRecordedAndTheToolAddsIt) {
    db->Exec(
        QStringLiteral("insert into zy.res_download_path values(7,1,'7_a.txt',501,sysdate,'x')"));
    // A database of release 1.0: none of the tables of our own.
    for (const char* table : {"res_download_file", "res_download_intent", "res_download_version",
                              "res_download_history"}) {
        db->Exec(QStringLiteral("drop table zy.") + QLatin1String(table));
    }
    static QStringList notices;
    notices.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& m) {
            if (QLatin1String(context.category) == QLatin1String("korvane.db")) {
                notices << m;
            }
        });
    EXPECT_FALSE(record.Available());
    EXPECT_FALSE(record.Available());
    EXPECT_EQ(record.Claim(QStringLiteral("7_a.txt"), a, 60, nullptr), Result::Unavailable);
    EXPECT_FALSE(record.Current(QStringLiteral("7_a.txt")));
    EXPECT_NO_THROW(record.Record({QStringLiteral("7_a.txt"), 1, Sha256("x"), 1, {}, {}}, a.token));
    EXPECT_TRUE(record.All().isEmpty());
    qInstallMessageHandler(previous);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(Contains(notices[0], QStringLiteral("--upgrade")));

    for (const char* done : {"created", "is there already"}) {
        const ToolRun r = RunTool(kDbTool, {QStringLiteral("--conn"), db->ConnectionString(),
                                            QStringLiteral("--upgrade")});
        EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
        for (const char* table : {"file", "intent", "version", "history"}) {
            EXPECT_TRUE(Contains(r.output, QStringLiteral("zy.res_download_%1 %2")
                                               .arg(QLatin1String(table), QLatin1String(done))))
                << r.output.toStdString();
        }
    }
    EXPECT_TRUE(korvane::db::IntentLog(query).Available());
    FileRecord after(query);
    EXPECT_TRUE(after.Available());
    EXPECT_EQ(after.Claim(QStringLiteral("7_a.txt"), a, 60, nullptr), Result::Claimed);
    EXPECT_EQ(Count(QStringLiteral("select count(*) as n from zy.res_download_path where "
                                   "remark='x'")),
              1)
        << "the registrations stay";
}

INSTANTIATE_TEST_SUITE_P(On, Record,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL, Backend::Odbc),
                         korvane::test::BackendTestName);

// Several hosts at once ---------------------------------------------------------------------------

class ClaimRace : public ::testing::TestWithParam<Backend> {};

TEST_P(ClaimRace, EveryNameHasExactlyOneWinnerAcrossProcesses) {
    constexpr int kWorkers = 4;
    constexpr int kNames = 40;
    QString why;
    auto db = TestDatabase::Create(GetParam(), &why);
    if (!db) {
        GTEST_SKIP() << why.toStdString();
    }
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int op = 1; op <= kWorkers; ++op) {
        auto p = std::make_unique<QProcess>();
        p->start(kWorker, {db->ConnectionString(), QString::number(op), QString::number(kNames)});
        workers.push_back(std::move(p));
    }
    QMap<QString, QList<int>> winners;
    QMap<QString, QSet<int>> named;  // the holders that losers were told of
    for (int op = 1; op <= kWorkers; ++op) {
        QProcess& p = *workers[static_cast<std::size_t>(op - 1)];
        ASSERT_TRUE(p.waitForFinished(120000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        ASSERT_EQ(p.exitCode(), 0) << out.toStdString() << p.readAllStandardError().toStdString();
        for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList words = line.split(u' ');
            if (words.value(1) == u"claimed") {
                winners[words[0]] << op;
            } else if (words.value(1) == u"busy") {
                named[words[0]] << words.value(2).toInt();
            }
        }
    }
    korvane::db::TADOQuery q(db->Fixture());
    for (int i = 0; i < kNames; ++i) {
        const QString name = QStringLiteral("race_%1").arg(i);
        ASSERT_EQ(winners.value(name).size(), 1) << name.toStdString();
        const int winner = winners.value(name).first();
        EXPECT_TRUE(named.value(name).isEmpty() || named.value(name) == QSet<int>{winner})
            << name.toStdString() << ": a loser was told of another holder";
        korvane::db::OpenStatement(
            q, QStringLiteral("select claim_op from zy.res_download_file where file_name='%1'")
                   .arg(name));
        EXPECT_EQ(q.FieldAsInteger(QStringLiteral("claim_op")), winner);
    }
}

// A claim waits while another host's transaction holds the name (SQLite: the write lock;
// PostgreSQL: the uncommitted row), up to the lock bound, and then sees that host's claim.
TEST_P(ClaimRace, AClaimWaitsForAnotherHostsTransaction) {
    QString why;
    auto db = TestDatabase::Create(GetParam(), &why);
    if (!db) {
        GTEST_SKIP() << why.toStdString();
    }
    korvane::db::TADOConnection& other = db->Fixture();
    korvane::db::TADOQuery q(other);
    FileRecord otherRecord(q);
    other.BeginTransaction();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    ASSERT_EQ(otherRecord.Claim(QStringLiteral("race_0"), {QStringLiteral("t8"), 8, {}, now, now},
                                60, nullptr),
              Result::Claimed);
    QProcess p;
    p.start(kWorker, {db->ConnectionString(), QStringLiteral("9"), QStringLiteral("1")});
    QElapsedTimer waited;
    waited.start();
    while (!p.canReadLine() && waited.elapsed() < 60000) {
        p.waitForReadyRead(1000);
    }
    ASSERT_EQ(p.readLine().trimmed(), QByteArray("ready"));
    EXPECT_FALSE(p.waitForFinished(1500))
        << "the claim did not wait: " << p.readAll().toStdString();
    other.Commit();
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAll().trimmed(), QByteArray("race_0 busy 8"));
}

INSTANTIATE_TEST_SUITE_P(On, ClaimRace, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         korvane::test::BackendTestName);

// korvane-dbtool takes the password from a file, the environment or the terminal; one in --conn,
// which every user can read in the process list, still works with a warning.
TEST(DbTool, ThePasswordStaysOutOfTheCommandLine) {
    QString why;
    auto db = TestDatabase::Create(Backend::PostgreSQL, &why);
    if (!db) {
        GTEST_SKIP() << why.toStdString();
    }
    const QString password = korvane::test::PostgresServer::Password();
    const QString full = db->ConnectionString();
    const QString bare = QString(full).remove(QStringLiteral(";Password=") + password);
    ASSERT_NE(bare, full);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("pw"));
    korvane::test::WriteFile(file, (password + u'\n').toUtf8());
    struct Row {
        const char* name;
        QString conn;
        QStringList more;
        QString environment;
        QByteArray input;
        bool works;
        bool warned;
    };
    const QStringList ask{QStringLiteral("--ask-password")};
    for (const Row& row :
         {Row{"file", bare, {QStringLiteral("--password-file"), file}, {}, {}, true, false},
          Row{"environment", bare, {}, password, {}, true, false},
          Row{"prompt", bare, ask, {}, (password + u'\n').toUtf8(), true, false},
          Row{"conn", full, {}, {}, {}, true, true}, Row{"none", bare, {}, {}, {}, false, false}}) {
        SCOPED_TRACE(row.name);
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("KORVANE_DB_PASSWORD"));
        env.remove(QStringLiteral("PGPASSWORD"));
        if (!row.environment.isEmpty()) {
            env.insert(QStringLiteral("KORVANE_DB_PASSWORD"), row.environment);
        }
        p.setProcessEnvironment(env);
        p.start(kDbTool,
                QStringList{QStringLiteral("--conn"), row.conn} + row.more +
                    QStringList{QStringLiteral("--query"), QStringLiteral("select 7 as seven"),
                                QStringLiteral("--columns"), QStringLiteral("seven")});
        p.write(row.input);
        p.closeWriteChannel();
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString output = QString::fromUtf8(p.readAll());
        EXPECT_EQ(p.exitCode() == 0, row.works) << output.toStdString();
        EXPECT_EQ(Contains(output, QStringLiteral("7\n")), row.works) << output.toStdString();
        EXPECT_EQ(Contains(output, QStringLiteral("warning")), row.warned) << output.toStdString();
        EXPECT_FALSE(Contains(output, password)) << output.toStdString();
    }
}

// korvane-dbtool --check ------------------------------------------------------------------------

TEST(SiteCheck, FindsMissingChangedAndOrphansAndRemovesNothingThatOnlyLooksTemporary) {
    auto db = TestDatabase::Create(Backend::SQLite);
    auto& server = korvane::test::PyFtpServer::Shared();
    server.Reset();
    ASSERT_TRUE(server.Started()) << server.Error().toStdString();
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("host.ini"));
    korvane::test::WriteFile(
        config, QStringLiteral("[SysPara]\nkorvane_conn=%1\nkorvane_ip=%2\nkorvane_user=op\n"
                               "korvane_pwd=secret\nkorvane_path=/\nkorvane_ftp_mode=passive\n")
                    .arg(db->ConnectionString(), server.Server())
                    .toUtf8());
    korvane::db::TADOConnection c;
    c.SetConnectionString(db->ConnectionString());
    c.SetConnected(true);
    korvane::db::TADOQuery q(c);
    FileRecord record(q);
    // name, content recorded, content on the server (null: none)
    const struct {
        const char* name;
        QByteArray recorded;
        QByteArray served;
    } files[] = {{"1_ok.txt", "good", "good"},
                 {"2_gone.txt", "gone", QByteArray()},
                 {"3_digest.txt", "abcd", "abce"},
                 {"4_size.txt", "abcd", "abcde"}};
    for (const auto& f : files) {
        const QString name = QString::fromUtf8(f.name);
        db->Exec(korvane::BuildInsertStatement(QStringLiteral("1"), QStringLiteral("1"), name, 501,
                                               QString()));
        const UploadClaim mine{FileRecord::NewToken(), 501, QStringLiteral("h"), 1, 1};
        ASSERT_EQ(record.Claim(name, mine, 60, nullptr), Result::Claimed);
        record.Record({name, f.recorded.size(), Sha256(f.recorded), 501, QStringLiteral("h"), {}},
                      mine.token);
        if (!f.served.isNull()) {
            server.Put(name, f.served);
        }
    }
    const QDateTime twoDaysAgo = QDateTime::currentDateTime().addDays(-2);
    for (const char* name : {"5_a.txt.0123abcd.part", "6_b.txt.89abcdef.part", "7_x.part"}) {
        server.Put(QString::fromLatin1(name), "partial");
        if (name[0] != '6') {
            QFile f(server.PathOf(QString::fromLatin1(name)));
            ASSERT_TRUE(f.open(QIODevice::Append));
            ASSERT_TRUE(f.setFileTime(twoDaysAgo, QFileDevice::FileModificationTime));
        }
    }
    const QStringList check = {QStringLiteral("--check"), QStringLiteral("--config"), config};

    const ToolRun found = RunTool(kDbTool, check);
    EXPECT_EQ(found.exitCode, 1) << found.output.toStdString();
    for (const char* line :
         {"missing: 2_gone.txt", "changed: 3_digest.txt: sha256",
          "changed: 4_size.txt: 5 bytes, recorded 4 bytes", "orphan: 5_a.txt.0123abcd.part",
          "orphan: 6_b.txt.89abcdef.part", "orphan: 7_x.part",
          "korvane-dbtool: check: 1 missing, 2 changed, 3 orphans, 0 unfinished\n"}) {
        EXPECT_TRUE(Contains(found.output, QString::fromUtf8(line))) << line;
    }
    EXPECT_FALSE(Contains(found.output, QStringLiteral("1_ok.txt")));

    // A name that only looks temporary is never enough to remove a file.
    const QString kept = QStringLiteral(
        "1_ok.txt 3_digest.txt 4_size.txt 5_a.txt.0123abcd.part 6_b.txt.89abcdef.part 7_x.part");
    const ToolRun repaired = RunTool(kDbTool, QStringList(check) << QStringLiteral("--repair"));
    EXPECT_EQ(repaired.exitCode, 1) << repaired.output.toStdString();
    EXPECT_TRUE(Contains(repaired.output, QStringLiteral("3 orphans, 0 unfinished (0 finished)\n")))
        << repaired.output.toStdString();
    EXPECT_EQ(QDir(server.Home()).entryList(QDir::Files).join(u' '), kept);

    db->Exec(QStringLiteral("delete from zy.res_download_path where down_path='2_gone.txt'"));
    db->Exec(QStringLiteral("delete from zy.res_download_file where file_name<>'1_ok.txt'"));
    for (const char* name : {"5_a.txt.0123abcd.part", "6_b.txt.89abcdef.part", "7_x.part"}) {
        QFile::remove(server.PathOf(QString::fromLatin1(name)));
    }
    const ToolRun clean = RunTool(kDbTool, check);
    EXPECT_EQ(clean.exitCode, 0) << clean.output.toStdString();
    EXPECT_TRUE(Contains(clean.output,
                         QStringLiteral("check: 0 missing, 0 changed, 0 orphans, 0 unfinished\n")));
}

}  // namespace
