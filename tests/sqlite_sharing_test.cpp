// One SQLite database shared as a site shares it: several registration windows of one host
// upload, replace and list at once while another program reads the same file, with the files in
// write-ahead logging and in rollback-journal mode. What a window listed as registered is in the
// database for everyone afterwards, nobody meets an error, and a site's journal mode is kept.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <random>

#include "HostControls.h"
#include "ReplaceDialog.h"
#include "SqliteSupport.h"
#include "TfrmBusinessMain.h"
#include "support/Child.h"
#include "support/DialogRecorder.h"
#include "support/Files.h"
#include "support/KorvaneEnvironment.h"
#include "support/ScriptedStore.h"

namespace {

using korvane::test::Child;

// Reads the registrations from another process until it is ended; with "wal" it also
// checkpoints the log into the file now and then, as a neighbour may. Says "read N" and each
// error.
const char* const kReader = R"py(
import sqlite3, sys
path, mode = sys.argv[1], sys.argv[2]
reads = 0
while True:
    try:
        c = sqlite3.connect(path, timeout=5)
        c.execute("select count(*) from res_download_path").fetchall()
        c.execute("select count(*) from res_download_file").fetchall()
        if mode == "wal" and reads % 10 == 0:
            c.execute("pragma wal_checkpoint(TRUNCATE)").fetchall()
        c.close()
        reads += 1
        print("read", reads, flush=True)
    except sqlite3.Error as e:
        print("error:", e, flush=True)
)py";

QString Python(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString JournalMode(const QString& file) {
    return Python({QStringLiteral("-c"),
                   QStringLiteral("import sqlite3,sys;c=sqlite3.connect(sys.argv[1]);"
                                  "print(c.execute('pragma journal_mode' + sys.argv[2])."
                                  "fetchone()[0])"),
                   file, QString()});
}

class SqliteSharing : public ::testing::TestWithParam<const char*> {
protected:
    QString Mode() const { return QString::fromLatin1(GetParam()); }
};

TEST_P(SqliteSharing, WhatAWindowListedIsRegisteredForEveryone) {
    auto env = korvane::test::KorvaneEnvironment::Create(korvane::db::Backend::SQLite);
    ASSERT_NE(env, nullptr);
    env->db->CloseFixture();
    const QString file = env->db->ConnectionString().section(u'=', 2);
    const QString zy = file + QStringLiteral(".zy");
    const QStringList files{file, zy, file + QStringLiteral(".xg")};
    for (const QString& f : files) {
        // The site's choice, made while nobody is connected.
        Python({QStringLiteral("-c"),
                QStringLiteral("import sqlite3,sys;sqlite3.connect(sys.argv[1])."
                               "execute('pragma journal_mode=' + sys.argv[2]).fetchall()"),
                f, Mode()});
        ASSERT_EQ(JournalMode(f), Mode());
    }
    korvane::test::DialogRecorder dialogs;  // every question answered yes
    auto folder = std::make_shared<korvane::test::ScriptedStore::Folder>();
    QTemporaryDir local;
    std::vector<std::unique_ptr<TfrmBusinessMain>> windows;
    for (int i = 0; i < 3; ++i) {
        auto w = std::make_unique<TfrmBusinessMain>();
        w->SetStoreFactory([folder](const korvane::TransferRequest&) {
            return std::make_unique<korvane::test::ScriptedStore>(folder);
        });
        ASSERT_TRUE(w->InitBusinessForm(1021, 0, 0, 0, 501 + i, QStringLiteral("s")));
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        Child<QLineEdit>(w.get(), "edDownId")->setText(QStringLiteral("7"));
        Child<QCheckBox>(w.get(), "chkDate")->setChecked(false);
        windows.push_back(std::move(w));
    }
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(kReader), zy, Mode()});
    ASSERT_TRUE(reader.waitForStarted(10000));

    // Each round one window lists, then uploads one of a few names (so most replace a
    // registration another window made) and looks for its row in its own list.
    constexpr int kRounds = 60;
    std::mt19937 rng(7);
    QStringList listed;
    for (int round = 0; round < kRounds; ++round) {
        TfrmBusinessMain* w = windows[rng() % windows.size()].get();
        const QString path = local.filePath(QStringLiteral("f%1.txt").arg(rng() % 5));
        korvane::test::WriteFile(path, QByteArray::number(round));
        Child<QLineEdit>(w, "edDownId2")->setText(QStringLiteral("7"));
        Child<QComboBox>(w, "cmbDownType2")->setCurrentIndex(1);
        Child<QLineEdit>(w, "edDownPath2")->setText(path);
        Child<QLineEdit>(w, "edRemark")->setText(QString::number(round));
        Child<QPushButton>(w, "btnQuery")->click();
        Child<QPushButton>(w, "btnFpt")->click();
        // A name registered before: the window asks once, and the answer is to replace it.
        for (auto* question : w->findChildren<korvane::ReplaceDialog*>()) {
            if (question->isVisible()) {
                QTest::mouseClick(Child<QPushButton>(question, "replaceButton"), Qt::LeftButton);
            }
        }
        ASSERT_TRUE(QTest::qWaitFor([w] { return !w->Transferring(); }, 30000));
        auto* list = Child<TListViewEx>(w, "lvList");
        for (int row = 0; row < list->Count(); ++row) {
            if (list->ItemText(row, 5) == QString::number(round)) {
                listed << QString::number(round);
            }
        }
    }
    reader.terminate();
    reader.waitForFinished(10000);
    const QStringList said = QString::fromUtf8(reader.readAllStandardOutput()).split(u'\n');
    windows.clear();

    QStringList registered;
    for (const QString& row : env->Registrations()) {
        registered << row.section(u'|', 4);
    }
    QStringList gone;
    for (const QString& r : listed) {
        if (!registered.contains(r)) {
            gone << r;
        }
    }
    EXPECT_EQ(listed.size(), kRounds);
    EXPECT_EQ(gone, QStringList()) << "listed by a window, then missing";
    EXPECT_EQ(dialogs.Texts().filter(QStringLiteral("成功")).size(), kRounds)
        << dialogs.Texts().join(u'\n').toStdString();
    EXPECT_EQ(said.filter(QStringLiteral("error:")), QStringList());
    const QStringList reads = said.filter(QStringLiteral("read "));
    EXPECT_FALSE(reads.isEmpty()) << "the other program read meanwhile";
    for (const QString& f : files) {
        EXPECT_EQ(JournalMode(f), Mode()) << f.toStdString();
    }
    std::printf(
        "[ figures ] %s: %d uploads by 3 windows, %lld listed and registered, the "
        "other program read %s times\n",
        GetParam(), kRounds, static_cast<long long>(listed.size() - gone.size()),
        qPrintable(reads.value(reads.size() - 1).section(u' ', 1)));
}

INSTANTIATE_TEST_SUITE_P(In, SqliteSharing, ::testing::Values("wal", "delete"),
                         [](const ::testing::TestParamInfo<const char*>& row) {
                             return std::string(row.param);
                         });

// The journal mode a file gets: a network filesystem never shares a write-ahead log, a site's
// rollback journal is kept, anything else logs ahead.
TEST(SqliteJournal, ModeForEachFile) {
    using korvane::db::JournalModeFor;
    struct Row {
        const char* current;
        bool empty;
        bool onNetwork;
        const char* mode;
    };
    const Row rows[] = {
        {"delete", true, false, "wal"},      {"wal", false, false, "wal"},
        {"delete", false, false, "delete"},  {"truncate", false, false, "truncate"},
        {"off", false, false, "wal"},        {"memory", false, false, "wal"},
        {"wal", false, true, "delete"},      {"delete", true, true, "delete"},
        {"persist", false, true, "persist"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(JournalModeFor(QString::fromLatin1(row.current), row.empty, row.onNetwork),
                  QString::fromLatin1(row.mode))
            << row.current << ' ' << row.empty << ' ' << row.onNetwork;
    }
    QTemporaryDir here;
    EXPECT_FALSE(korvane::db::OnNetworkFileSystem(here.filePath(QStringLiteral("k.db"))));
}

}  // namespace
