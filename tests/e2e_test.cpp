// End to end: the host loads libkorvane.so through its exports and an operator's whole job runs
// through the real window against the embedded database and a real FTP server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include "HostControls.h"
#include "HostMainWindow.h"
#include "IntentLog.h"
#include "RunningJobs.h"
#include "TransfersPanel.h"
#include "support/Child.h"
#include "support/DialogRecorder.h"
#include "support/Files.h"
#include "support/KorvaneEnvironment.h"
#include "support/TextChecks.h"

using korvane::test::Contains;
using korvane::test::DialogRecorder;
using korvane::test::EndsWith;
using korvane::test::KorvaneEnvironment;
using korvane::test::Pattern;
using korvane::test::ReadFile;
using korvane::test::StartsWith;
using korvane::test::WriteFile;

namespace {

const QString kModule = QStringLiteral(KORVANE_BINARY_DIR "/ModuleTemplate/libkorvane.so");

class EndToEnd : public korvane::test::KorvaneBackendTest {
protected:
    void SetUp() override {
        KorvaneBackendTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        SessionInfo session;
        session.OperatorId = 501;
        host = std::make_unique<telmaris::HostMainWindow>(session);
        host->show();
        ASSERT_TRUE(host->AddModule(kModule));
        form = host->OpenWindow(0);
        ASSERT_NE(form, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    }
    void TearDown() override { host.reset(); }
    template <class T>
    T* W(const char* name) {
        return korvane::test::Child<T>(form, name);
    }
    // Clicks a button and waits for the transfers it started.
    void Click(const char* name) {
        QTest::mouseClick(W<QPushButton>(name), Qt::LeftButton);
        EXPECT_TRUE(
            QTest::qWaitFor([] { return telmaris::RunningJobs::Instance().Count() == 0; }, 60000));
    }
    void Upload(const QString& id, const QString& path, const QString& remark) {
        W<QLineEdit>("edDownId2")->setText(id);
        W<QComboBox>("cmbDownType2")->setCurrentIndex(1);
        W<QLineEdit>("edDownPath2")->setText(path);
        W<QLineEdit>("edRemark")->setText(remark);
        Click("btnFpt");
    }
    int SearchOrder(const QString& id) {
        W<QLineEdit>("edDownId")->setText(id);
        W<QCheckBox>("chkDate")->setChecked(false);
        Click("btnQuery");
        return W<TListViewEx>("lvList")->Count();
    }
    QString Target(const QString& remote) const {
        return QCoreApplication::applicationDirPath() + u'/' + remote;
    }

    DialogRecorder dialogs;
    QTemporaryDir local;
    std::unique_ptr<telmaris::HostMainWindow> host;
    QWidget* form = nullptr;
};

TEST_P(EndToEnd, UploadSearchAndDownloadAFile) {
    EXPECT_EQ(SearchOrder(QStringLiteral("2048")), 0);
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("对不起，没找到符合条件的记录！")});

    const QByteArray content = Pattern(1024 * 1024 + 7, 61);
    const QString path = local.filePath(QStringLiteral("扫描件.pdf"));
    WriteFile(path, content);
    dialogs.requests.clear();
    Upload(QStringLiteral("2048"), path, QStringLiteral("原件"));
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("文件上传成功，数据保存成功！")});
    const QString remote = QStringLiteral("2048_扫描件.pdf");
    EXPECT_TRUE(ReadFile(env->RemotePath(remote)) == content);
    EXPECT_EQ(env->Registrations(),
              QStringList{QStringLiteral("2048|1|") + remote + QStringLiteral("|501|原件")});

    dialogs.requests.clear();
    ASSERT_EQ(SearchOrder(QStringLiteral("2048")), 1);
    auto* list = W<TListViewEx>("lvList");
    EXPECT_EQ(list->ItemText(0, 1), QStringLiteral("[1] 合同"));
    EXPECT_EQ(list->ItemText(0, 2), remote);
    EXPECT_EQ(list->ItemText(0, 3), QStringLiteral("[501] 张三"));
    EXPECT_TRUE(StartsWith(list->ItemText(0, 4),
                           QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));

    QFile::remove(Target(remote));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 2)).center());
    ASSERT_EQ(list->SelectedIndex(), 0);
    Click("btnDown");
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("下载成功！保存在[") + Target(remote) +
                                           QStringLiteral("]，请查看！")});
    EXPECT_TRUE(ReadFile(Target(remote)) == content);
    QFile::remove(Target(remote));
}

TEST_P(EndToEnd, ServerTroubleReachesTheOperator) {
    const QString path = local.filePath(QStringLiteral("a.txt"));
    WriteFile(path, "a");
    env->WriteConfig(QString(), QStringLiteral("wrong"));
    Upload(QStringLiteral("1"), path, QString());
    QStringList texts = dialogs.Texts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(StartsWith(
        texts[0], QStringLiteral("不能登录远程FTP服务器，请确定正确的用户名及密码！\n530")));
    EXPECT_EQ(texts[1], QStringLiteral("文件上传失败！"));

    env->WriteConfig(QString(), QString(), QStringLiteral("/no/such/dir"));
    dialogs.requests.clear();
    Upload(QStringLiteral("1"), path, QString());
    texts = dialogs.Texts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(StartsWith(texts[0], QStringLiteral("设置远程路径出错！")));

    env->WriteConfig(QStringLiteral("127.0.0.1:%1").arg(korvane::test::FreePort()));
    dialogs.requests.clear();
    Upload(QStringLiteral("1"), path, QString());
    texts = dialogs.Texts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(Contains(texts[0], QStringLiteral("Connection refused")));
    EXPECT_TRUE(env->Registrations().isEmpty());
}

TEST_P(EndToEnd, AFailedConnectionAtTheFirstShowSpeaksOnce) {
    env->WriteConfig(QString(), QString(), QString(),
                     QStringLiteral("Provider=SQLite;Data Source=/no/such/dir/k.db"));
    dialogs.requests.clear();
    QWidget* second = host->OpenWindow(0);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.requests.isEmpty(); }, 10000));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.requests.size(), 1) << dialogs.Texts().join(u'|').toStdString();
}

TEST_P(EndToEnd, ASmallHostScrollsTheFormAndAChildCanBeMaximisedAgain) {
    QMdiSubWindow* sub = host->MdiArea()->subWindowList().constFirst();
    auto* scroller = qobject_cast<QScrollArea*>(sub->widget());
    ASSERT_NE(scroller, nullptr);
    EXPECT_GE(form->width(), 640) << "a large area: the form fills it";
    host->resize(520, 380);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return sub->isMaximized() && scroller->verticalScrollBar()->isVisible(); }, 10000));
    EXPECT_EQ(form->size(), QSize(640, 480)) << "the fixed layout is kept";
    EXPECT_TRUE(scroller->verticalScrollBar()->isVisible());
    EXPECT_TRUE(scroller->horizontalScrollBar()->isVisible());
    auto* exit = W<QPushButton>("btnExit");
    scroller->ensureWidgetVisible(exit);
    EXPECT_FALSE(exit->visibleRegion().isEmpty()) << "every control can be scrolled to";

    host->MdiArea()->tileSubWindows();
    EXPECT_FALSE(sub->isMaximized());
    QAction* maximise = nullptr;
    for (QAction* menu : host->menuBar()->actions()) {
        for (QAction* a : menu->menu()->actions()) {
            maximise = a->text() == u"最大化" ? a : maximise;
        }
    }
    ASSERT_NE(maximise, nullptr);
    maximise->trigger();
    EXPECT_TRUE(sub->isMaximized());
}

TEST_P(EndToEnd, AFailedInsertLeavesTheServerAsItWas) {
    env->db->RefuseInserts();
    WriteFile(env->RemotePath(QStringLiteral("3_b.txt")), "old");
    const QString path = local.filePath(QStringLiteral("b.txt"));
    WriteFile(path, "b");
    Upload(QStringLiteral("3"), path, QString());
    const QStringList texts = dialogs.Texts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(StartsWith(texts[0], QStringLiteral("数据保存失败，上传已撤销")));
    EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("3_b.txt"))), QByteArray("old"));
}

// A download cut short in the installed module: its three attempts pause a real second each
// (the one check of those pauses in real time), and the repeated download resumes.
class InterruptedEndToEnd : public EndToEnd {
protected:
    QStringList Faults() const override {
        return {"--rest-reply", "plain", "--drop-after", "262144", "--drop-once"};
    }
};

TEST_P(InterruptedEndToEnd, ARepeatedDownloadResumesTheInterruptedCopy) {
    const QByteArray content = Pattern(768 * 1024, 71);
    const QString remote = QStringLiteral("9_big.bin");
    WriteFile(env->RemotePath(remote), content);
    env->Exec(QStringLiteral("insert into zy.res_download_path values(9,1,'%1',501,sysdate,'')")
                  .arg(remote));
    ASSERT_EQ(SearchOrder(QStringLiteral("9")), 1);
    W<TListViewEx>("lvList")->selectRow(0);
    QFile::remove(Target(remote));
    dialogs.requests.clear();
    QElapsedTimer timer;
    timer.start();
    Click("btnDown");
    EXPECT_GE(timer.elapsed(), 3000) << "three pauses of a second";
    ASSERT_EQ(dialogs.requests.size(), 1) << "the interrupted transfer says so";
    EXPECT_TRUE(
        StartsWith(dialogs.requests[0].text, QStringLiteral("下载文件[9_big.bin]时传输中断！")));
    EXPECT_FALSE(QFileInfo::exists(Target(remote))) << "no half file under the name";
    EXPECT_EQ(QFileInfo(Target(remote) + QStringLiteral(".part")).size(), 262144);
    dialogs.requests.clear();
    Click("btnDown");
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].kind, telmaris::DialogKind::PlainMessage);
    EXPECT_TRUE(ReadFile(Target(remote)) == content);
    QFile::remove(Target(remote));
}

// Transfers as jobs in one host, on a server that moves 200 KB a second.
class SlowEndToEnd : public EndToEnd {
protected:
    QStringList Faults() const override { return {"--slow-data", "200000"}; }
    static bool Ended(int running = 0) {
        return QTest::qWaitFor(
            [running] { return telmaris::RunningJobs::Instance().Count() == running; }, 60000);
    }
    // Starts an upload in window w without waiting for it.
    void StartUpload(QWidget* w, const QString& id, const QByteArray& content) {
        const QString path = local.filePath(id + QStringLiteral(".bin"));
        WriteFile(path, content);
        korvane::test::Child<QLineEdit>(w, "edDownId2")->setText(id);
        korvane::test::Child<QComboBox>(w, "cmbDownType2")->setCurrentIndex(1);
        korvane::test::Child<QLineEdit>(w, "edDownPath2")->setText(path);
        QTest::mouseClick(korvane::test::Child<QPushButton>(w, "btnFpt"), Qt::LeftButton);
    }
    QStringList Leftovers() const {
        return QDir(env->RemotePath(QString())).entryList({QStringLiteral("*.part")}, QDir::Files);
    }
};

// A's short upload ends, registers and speaks while B's long download still runs; closing B
// mid-transfer leaves no empty frame; quitting asks, "no" lets the work finish, "yes" cancels it
// and leaves nothing on the server; the list of transfers tells every end.
TEST_P(SlowEndToEnd, WindowsNeverWaitOnEachOtherAndTheHostKnowsWhatRuns) {
    telmaris::RunningJobs::Instance().ClearEnded();
    QWidget* a = form;
    QWidget* b = host->OpenWindow(0);
    ASSERT_NE(b, nullptr);
    WriteFile(env->RemotePath(QStringLiteral("9_long.bin")), Pattern(800000, 5));
    env->Exec(
        QStringLiteral("insert into zy.res_download_path values(9,1,'9_long.bin',501,sysdate,'')"));
    auto* list = korvane::test::Child<TListViewEx>(b, "lvList");
    korvane::test::Child<QLineEdit>(b, "edDownId")->setText(QStringLiteral("9"));
    korvane::test::Child<QCheckBox>(b, "chkDate")->setChecked(false);
    QTest::mouseClick(korvane::test::Child<QPushButton>(b, "btnQuery"), Qt::LeftButton);
    ASSERT_EQ(list->Count(), 1);
    list->selectRow(0);
    QFile::remove(Target(QStringLiteral("9_long.bin")));
    QTest::mouseClick(korvane::test::Child<QPushButton>(b, "btnDown"), Qt::LeftButton);
    dialogs.requests.clear();
    StartUpload(a, QStringLiteral("1"), "short");
    ASSERT_TRUE(Ended(1)) << "A ends on its own";
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("文件上传成功，数据保存成功！")});
    EXPECT_EQ(env->Registrations().size(), 2);

    dialogs.Queue(true);
    const QPointer<QWidget> closing(b);
    b->close();
    ASSERT_TRUE(Ended());
    EXPECT_TRUE(QTest::qWaitFor([&closing] { return closing.isNull(); }, 5000));
    EXPECT_EQ(host->MdiArea()->subWindowList().size(), 1) << "no empty frame is left";

    dialogs.requests.clear();
    dialogs.Queue(false);
    StartUpload(a, QStringLiteral("2"), Pattern(600000, 6));
    host->close();
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(Contains(dialogs.requests[0].text, QStringLiteral("上传 2_2.bin")));
    EXPECT_TRUE(host->isVisible()) << "no keeps everything running";
    ASSERT_TRUE(Ended());
    EXPECT_EQ(env->Registrations().size(), 3);

    dialogs.requests.clear();
    dialogs.Queue(true);
    StartUpload(a, QStringLiteral("3"), Pattern(600000, 7));
    host->close();
    ASSERT_TRUE(Ended());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !host->isVisible(); }, 10000));
    EXPECT_EQ(env->Registrations().size(), 3);
    // Nothing is left but what bytes a cancelled upload had sent, held for the next upload of
    // its file.
    korvane::db::TADOQuery q(env->db->Fixture());
    QStringList held;
    for (const korvane::db::Intent& intent : korvane::db::IntentLog(q).Open()) {
        EXPECT_EQ(intent.phase, korvane::db::Intent::Phase::Held);
        held << intent.temp;
    }
    EXPECT_EQ(Leftovers(), held);

    using State = telmaris::RunningJobs::State;
    QList<State> states;
    for (const auto& e : telmaris::RunningJobs::Instance().Entries()) {
        states << e.state;
    }
    EXPECT_EQ(states, (QList<State>{State::Cancelled, State::Succeeded, State::Succeeded,
                                    State::Cancelled}))
        << "B's download was cancelled with its window";
    QFile::remove(Target(QStringLiteral("9_long.bin")));
}

// A failed download is retried from the host's list once the file is back on the server.
TEST_P(SlowEndToEnd, AFailedTransferIsRetriedFromTheList) {
    auto& jobs = telmaris::RunningJobs::Instance();
    jobs.ClearEnded();
    const QString remote = QStringLiteral("9_back.bin");
    env->Exec(QStringLiteral("insert into zy.res_download_path values(9,1,'%1',501,sysdate,'')")
                  .arg(remote));
    ASSERT_EQ(SearchOrder(QStringLiteral("9")), 1);
    W<TListViewEx>("lvList")->selectRow(0);
    QFile::remove(Target(remote));
    Click("btnDown");
    ASSERT_EQ(jobs.Entries().size(), 1);
    EXPECT_EQ(jobs.Entries()[0].state, telmaris::RunningJobs::State::Failed);

    WriteFile(env->RemotePath(remote), "back again");
    telmaris::TransfersPanel* panel = host->Transfers();
    panel->show();
    panel->Table()->selectRow(0);
    auto* retry = korvane::test::Child<QPushButton>(panel, "retryTransfer");
    ASSERT_TRUE(retry->isEnabled());
    QTest::mouseClick(retry, Qt::LeftButton);
    ASSERT_TRUE(Ended());
    ASSERT_EQ(jobs.Entries().size(), 1) << "the retry runs in the failed job's row";
    EXPECT_EQ(jobs.Entries()[0].state, telmaris::RunningJobs::State::Succeeded);
    EXPECT_EQ(jobs.Entries()[0].attempts, 2);
    EXPECT_EQ(panel->Table()->item(0, telmaris::TransfersPanel::State)->text(),
              QStringLiteral("完成"));
    EXPECT_EQ(ReadFile(Target(remote)), QByteArray("back again"));
    QFile::remove(Target(remote));
}

// A second transfer of a second window: its number is in the progress dialog's title, in the
// panel and in its boxes; Delete in the panel cancels it.
TEST_P(SlowEndToEnd, ASecondWindowsTransferCarriesItsNumberAndDeleteInThePanelCancelsIt) {
    auto& jobs = telmaris::RunningJobs::Instance();
    jobs.ClearEnded();
    QWidget* b = host->OpenWindow(0);
    ASSERT_NE(b, nullptr);
    dialogs.requests.clear();
    StartUpload(b, QStringLiteral("4"), Pattern(800000, 8));
    QWidget* progress = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&progress] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                progress = w->objectName() == u"TransferDialog" && w->isVisible() ? w : progress;
            }
            return progress != nullptr;
        },
        10000));
    EXPECT_EQ(progress->windowTitle(), QStringLiteral("文件上传 - 号码管理之文件上传 [2]"));
    telmaris::TransfersPanel* panel = host->Transfers();
    panel->show();
    QTableWidget* table = panel->Table();
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, telmaris::TransfersPanel::Window)->text(),
              QStringLiteral("号码管理之文件上传 [2]"));
    QTest::mouseClick(
        table->viewport(), Qt::LeftButton, {},
        table->visualItemRect(table->item(0, telmaris::TransfersPanel::File)).center());
    QTest::keyClick(table, Qt::Key_Delete);
    ASSERT_TRUE(Ended());
    EXPECT_EQ(jobs.Entries()[0].state, telmaris::RunningJobs::State::Cancelled);
    ASSERT_FALSE(dialogs.requests.isEmpty());
    for (const auto& r : dialogs.requests) {
        EXPECT_EQ(r.owner, b) << r.text.toStdString();
        EXPECT_EQ(r.title, QStringLiteral("提示 [2]"));
    }
}

// Windows of the module told apart: numbers after the caption from the second on, a number free
// again once its window closed; each window's boxes are its own, and a box up over one window
// leaves the other usable.
class WindowsEndToEnd : public EndToEnd {
protected:
    QPushButton* Button(QWidget* window, const char* name) {
        return korvane::test::Child<QPushButton>(window, name);
    }
    static QList<QMessageBox*> Boxes(const QWidget* window) {
        QList<QMessageBox*> shown;
        for (QMessageBox* box : window->findChildren<QMessageBox*>()) {
            if (box->isVisible()) {
                shown << box;
            }
        }
        return shown;
    }
};

TEST_P(WindowsEndToEnd, WindowsAreNumberedAndTheirBoxesAreTheirOwn) {
    const QString caption = QStringLiteral("号码管理之文件上传");
    QPointer<QWidget> second = host->OpenWindow(0);
    QWidget* third = host->OpenWindow(0);
    ASSERT_TRUE(second && third);
    EXPECT_EQ(form->windowTitle(), caption);
    EXPECT_EQ(second->windowTitle(), caption + QStringLiteral(" [2]"));
    EXPECT_EQ(third->windowTitle(), caption + QStringLiteral(" [3]"));
    QMdiSubWindow* secondFrame = host->MdiArea()->subWindowList().value(1);
    EXPECT_EQ(secondFrame->windowTitle(), caption + QStringLiteral(" [2]"));
    secondFrame->close();
    ASSERT_TRUE(QTest::qWaitFor([&second] { return second.isNull(); }, 5000));
    QWidget* again = host->OpenWindow(0);
    EXPECT_EQ(again->windowTitle(), caption + QStringLiteral(" [2]")) << "free once closed";
    EXPECT_EQ(host->OpenWindow(0)->windowTitle(), caption + QStringLiteral(" [4]"));
    host->MdiArea()->tileSubWindows();

    dialogs.requests.clear();
    QTest::mouseClick(Button(again, "btnDown"), Qt::LeftButton);
    QTest::mouseClick(Button(form, "btnDown"), Qt::LeftButton);
    ASSERT_EQ(dialogs.requests.size(), 2);
    EXPECT_EQ(dialogs.requests[0].owner, again);
    EXPECT_EQ(dialogs.requests[0].title, QStringLiteral("提示 [2]"));
    EXPECT_EQ(dialogs.requests[1].owner, form);
    EXPECT_EQ(dialogs.requests[1].title, QStringLiteral("提示"));

    telmaris::SetDialogHook({});  // the real boxes from here on
    QTest::mouseClick(Button(again, "btnDown"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Boxes(again).size() == 1; }, 5000));
    QMessageBox* box = Boxes(again).constFirst();
    EXPECT_EQ(box->parentWidget(), again);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("提示 [2]"));
    EXPECT_EQ(box->text(), QStringLiteral("请选择要下载的记录!"));
    const QRect over(again->mapToGlobal(QPoint()), again->size());
    EXPECT_TRUE(over.contains(box->frameGeometry().center())) << "over its own window";
    QTest::mouseClick(Button(again, "btnDown"), Qt::LeftButton);
    QTest::mouseClick(Button(form, "btnDown"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Boxes(form).size() == 1; }, 5000))
        << "the other window stays usable";
    EXPECT_EQ(Boxes(form).constFirst()->windowTitle(), QStringLiteral("提示"));
    EXPECT_EQ(again->findChildren<QMessageBox*>().size(), 1)
        << "the window under its box took no click";

    const QPointer<QMessageBox> closing(box);
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&closing] { return closing.isNull(); }, 5000));
    QTest::mouseClick(Button(again, "btnDown"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Boxes(again).size() == 1; }, 5000))
        << "its box closed, the window takes input again";
}

// At the host's default size the panel opens below the window and hides none of its buttons.
TEST_P(WindowsEndToEnd, AtTheDefaultSizeThePanelHidesNoneOfTheWindowsButtons) {
    ASSERT_EQ(host->size(), QSize(1024, 700));
    host->Transfers()->toggleViewAction()->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host->Transfers()));
    QWidget* viewport = host->MdiArea()->viewport();
    const auto rectIn = [this](const QWidget* w) {
        return QRect(w->mapTo(host.get(), QPoint()), w->size());
    };
    for (const char* name : {"btnFpt", "btnDown", "btnExit"}) {
        SCOPED_TRACE(name);
        auto* button = W<QPushButton>(name);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return rectIn(viewport).contains(rectIn(button)); }, 5000));
        EXPECT_EQ(button->visibleRegion().boundingRect(), button->rect()) << "not scrolled away";
    }
    QTableWidget* table = host->Transfers()->Table();
    EXPECT_GE(table->viewport()->height(), 3 * table->verticalHeader()->defaultSectionSize())
        << "room for three rows";
}

INSTANTIATE_TEST_SUITE_P(On, EndToEnd,
                         ::testing::Values(korvane::db::Backend::SQLite,
                                           korvane::db::Backend::PostgreSQL,
                                           korvane::db::Backend::Odbc),
                         korvane::test::BackendTestName);
INSTANTIATE_TEST_SUITE_P(On, SlowEndToEnd, ::testing::Values(korvane::db::Backend::SQLite),
                         korvane::test::BackendTestName);
INSTANTIATE_TEST_SUITE_P(On, WindowsEndToEnd, ::testing::Values(korvane::db::Backend::SQLite),
                         korvane::test::BackendTestName);
INSTANTIATE_TEST_SUITE_P(On, InterruptedEndToEnd, ::testing::Values(korvane::db::Backend::SQLite),
                         korvane::test::BackendTestName);

}  // namespace
