// One SQLite database shared the way a site shares it: several registration windows of one host
// upload, replace and list at once while another program reads the same files, with the
// database in write-ahead logging and in rollback-journal mode. What a window listed as
// registered is in the database for everyone afterwards, and no window meets an I/O error.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <random>

#include "HostControls.h"
#include "TfrmBusinessMain.h"
#include "support/Child.h"
#include "support/DialogRecorder.h"
#include "support/Files.h"
#include "support/KorvaneEnvironment.h"
#include "support/ScriptedStore.h"

namespace {

using korvane::test::Child;

// Reads the registrations from another process for as long as it runs, in the given journal
// mode (rollback journal: it asks for it on every connection, as an older program would).
const char* const kReader = R"py(
import sqlite3, sys, time
path, mode = sys.argv[1], sys.argv[2]
reads = errors = 0
while True:
    try:
        c = sqlite3.connect(path, timeout=5)
        if mode == "delete":
            c.execute("pragma journal_mode=delete").fetchall()
        if mode == "checkpoint":
            c.execute("pragma wal_checkpoint(TRUNCATE)").fetchall()
        c.execute("select count(*) from res_download_path").fetchall()
        c.execute("select count(*) from res_download_file").fetchall()
        c.close()
        reads += 1
    except sqlite3.Error as e:
        errors += 1
        print("reader:", e, flush=True)
    if reads % 50 == 0:
        print("reads", reads, "errors", errors, flush=True)
)py";

class SqliteSharing : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        env = korvane::test::KorvaneEnvironment::Create(korvane::db::Backend::SQLite);
        ASSERT_NE(env, nullptr);
        file = env->db->ConnectionString().section(u'=', 2);
        if (QLatin1String(GetParam()) == QLatin1String("delete")) {
            for (const QString& f : {file, file + QStringLiteral(".zy"), file + QStringLiteral(".xg")}) {
                QProcess p;
                p.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-c"),
                         QStringLiteral("import sqlite3,sys;c=sqlite3.connect(sys.argv[1]);"
                                        "print(c.execute('pragma journal_mode=delete').fetchone())"),
                         f});
                ASSERT_TRUE(p.waitForFinished(10000));
            }
        }
    }
    std::unique_ptr<korvane::test::KorvaneEnvironment> env;
    QString file;
};

TEST_P(SqliteSharing, WhatAWindowListedIsRegisteredForEveryone) {
    env->db->CloseFixture();
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
    reader.setProcessChannelMode(QProcess::MergedChannels);
    reader.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(kReader),
                  file + QStringLiteral(".zy"), QString::fromLatin1(GetParam())});
    ASSERT_TRUE(reader.waitForStarted(10000));

    std::mt19937 rng(7);
    QStringList listed;
    for (int round = 0; round < 60; ++round) {
        TfrmBusinessMain* w = windows[rng() % windows.size()].get();
        const QString name = QStringLiteral("f%1.txt").arg(rng() % 5);
        const QString path = local.filePath(name);
        korvane::test::WriteFile(path, QByteArray::number(round));
        Child<QLineEdit>(w, "edDownId2")->setText(QStringLiteral("7"));
        Child<QComboBox>(w, "cmbDownType2")->setCurrentIndex(1);
        Child<QLineEdit>(w, "edDownPath2")->setText(path);
        Child<QLineEdit>(w, "edRemark")->setText(QString::number(round));
        Child<QPushButton>(w, "btnQuery")->click();
        Child<QPushButton>(w, "btnFpt")->click();
        ASSERT_TRUE(QTest::qWaitFor([w] { return !w->Transferring(); }, 30000));
        auto* list = Child<TListViewEx>(w, "lvList");
        for (int row = 0; row < list->Count(); ++row) {
            if (list->ItemText(row, 5) == QString::number(round)) {
                listed << QString::number(round);
            }
        }
    }
    reader.kill();
    reader.waitForFinished(5000);
    const QString said = QString::fromUtf8(reader.readAll());
    windows.clear();
    QStringList remarks;
    for (const QString& row : env->Registrations()) {
        remarks << row.section(u'|', 4);
    }
    QStringList missing;
    for (const QString& r : listed) {
        if (!remarks.contains(r)) {
            missing << r;
        }
    }
    EXPECT_EQ(missing, QStringList()) << "listed, then gone";
    EXPECT_EQ(listed.size(), 60);
    const QStringList errors = dialogs.Texts().filter(QStringLiteral("I/O"));
    EXPECT_EQ(errors, QStringList()) << dialogs.Texts().join(u'\n').toStdString();
    std::printf("[ figures ] %s: %lld listed, reader: %s\n", GetParam(),
                static_cast<long long>(listed.size()),
                qPrintable(said.split(u'\n', Qt::SkipEmptyParts).value(-1)));
    std::printf("%s\n", qPrintable(dialogs.Texts().join(u'\n').left(3000)));
    std::printf("%s\n", qPrintable(said.left(3000)));
}

INSTANTIATE_TEST_SUITE_P(In, SqliteSharing, ::testing::Values("wal", "delete", "checkpoint"));

}  // namespace
