// The host's transfers panel as a queue: its columns under a clock of the test's, one row per
// job however often it is retried, and its keys and context menu under real events.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QUrl>
#include <memory>

#include "RunningJobs.h"
#include "TransfersPanel.h"
#include "support/Child.h"
#include "support/DialogRecorder.h"
#include "support/Files.h"

namespace {

using telmaris::JobHooks;
using telmaris::JobInfo;
using telmaris::JobProgress;
using telmaris::RunningJobs;
using telmaris::TransfersPanel;

// What the desktop was asked to open, instead of opening it.
class Desktop : public QObject {
    Q_OBJECT
public:
    Desktop() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
    ~Desktop() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QStringList opened;
public slots:
    void Open(const QUrl& url) { opened << url.toLocalFile(); }
};

class Panel : public ::testing::Test {
protected:
    void SetUp() override {
        jobs.ClearEnded();
        jobs.SetClock([this] { return now; });
        panel.resize(1000, 300);
        panel.show();
        panel.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    }
    void TearDown() override {
        jobs.ClearEnded();
        jobs.SetClock({});
    }
    static JobInfo Info(bool upload, const QString& local = QStringLiteral("/tmp/9_a.pdf")) {
        return {QStringLiteral("号码管理之文件上传 [2]"),
                QStringLiteral("9"),
                QStringLiteral("9_a.pdf"),
                local,
                upload,
                501};
    }
    QString Cell(int row, int column) const {
        const QTableWidgetItem* item = panel.Table()->item(row, column);
        return item != nullptr ? item->text() : QStringLiteral("<none>");
    }
    // Waits for the panel's next refresh to show text in the cell.
    bool Shows(int row, int column, const QString& text) const {
        return QTest::qWaitFor([&] { return Cell(row, column) == text; },
                               TransfersPanel::kRefreshMs * 4);
    }
    // Selects a row with the mouse; the list then has the keyboard.
    void ClickRow(int row) {
        QTableWidget* t = panel.Table();
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {},
                          t->visualItemRect(t->item(row, TransfersPanel::File)).center());
        ASSERT_TRUE(QTest::qWaitFor([t] { return t->hasFocus(); }, 3000));
    }
    // Picks an entry of the row's context menu as a right click and a left click do.
    void FromMenu(int row, const QString& entry) {
        QTableWidget* t = panel.Table();
        const QPoint at = t->visualItemRect(t->item(row, TransfersPanel::File)).center();
        QContextMenuEvent menuAsked(QContextMenuEvent::Mouse, at, t->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(t->viewport(), &menuAsked);
        QMenu* menu = panel.Menu();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        QAction* picked = nullptr;
        for (QAction* a : menu->actions()) {
            picked = a->text() == entry ? a : picked;
        }
        ASSERT_NE(picked, nullptr) << entry.toStdString();
        ASSERT_TRUE(picked->isEnabled()) << entry.toStdString();
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(picked).center());
        EXPECT_TRUE(QTest::qWaitFor([menu] { return !menu->isVisible(); }, 3000));
    }

    RunningJobs& jobs = RunningJobs::Instance();
    QDateTime now{QDate(2024, 5, 6), QTime(9, 30, 0)};
    TransfersPanel panel;
    korvane::test::DialogRecorder dialogs;
};

TEST_F(Panel, ColumnsTellStartTimeTakenAndTheCurrentBesideTheAverageSpeed) {
    QObject job;
    JobHooks hooks;
    hooks.progress = [] {
        return JobProgress{QStringLiteral("40%  4.0 MiB / 10.0 MiB"), QStringLiteral("1.0 MiB/s"),
                           QStringLiteral("2.5 MiB/s"), QStringLiteral("0:03")};
    };
    jobs.Add(&job, Info(false), hooks);
    now = now.addSecs(7);
    using C = TransfersPanel::Column;
    EXPECT_TRUE(Shows(0, C::Elapsed, QStringLiteral("0:07")));
    EXPECT_EQ(Cell(0, C::Window), QStringLiteral("号码管理之文件上传 [2]"));
    EXPECT_EQ(Cell(0, C::Started), QStringLiteral("09:30:00"));
    EXPECT_EQ(Cell(0, C::Current), QStringLiteral("2.5 MiB/s"));
    EXPECT_EQ(Cell(0, C::Speed), QStringLiteral("1.0 MiB/s"));
    EXPECT_EQ(Cell(0, C::Left), QStringLiteral("0:03"));
    EXPECT_EQ(Cell(0, C::Attempts), QStringLiteral("1"));
    now = now.addSecs(3660);
    EXPECT_TRUE(Shows(0, C::Elapsed, QStringLiteral("1:01:07")));

    jobs.End(&job, RunningJobs::State::Succeeded, QStringLiteral("成功"), 10);
    now = now.addDays(1);
    EXPECT_TRUE(Shows(0, C::Started, QStringLiteral("2024-05-06 09:30:00")))
        << "a start before today shows its date";
    EXPECT_EQ(Cell(0, C::Elapsed), QStringLiteral("1:01:07")) << "the time taken, not since";
    EXPECT_EQ(Cell(0, C::Current), QString()) << "an ended job has no current speed";
    EXPECT_EQ(Cell(0, C::Speed), QStringLiteral("1.0 MiB/s")) << "its average is kept";
    EXPECT_EQ(Cell(0, C::Progress), QStringLiteral("40%  4.0 MiB / 10.0 MiB"));
    EXPECT_EQ(Cell(0, C::State), QStringLiteral("完成"));
}

// A retry from the menu runs in the failed job's row, one attempt more; Delete cancels it.
TEST_F(Panel, ARetryKeepsOneRowAndDeleteCancelsTheRunningJob) {
    QObject failed;
    std::unique_ptr<QObject> again;
    int cancels = 0;
    JobHooks retried;
    retried.cancel = [&cancels] { ++cancels; };
    JobHooks hooks;
    hooks.retry = [&] {
        again = std::make_unique<QObject>();
        jobs.Add(again.get(), Info(false), retried);
        return QString();
    };
    jobs.Add(&failed, Info(false), hooks);
    jobs.End(&failed, RunningJobs::State::Failed, QStringLiteral("传输中断"), 0);
    now = now.addSecs(60);
    ClickRow(0);
    QTest::keyClick(panel.Table(), Qt::Key_Delete);
    EXPECT_EQ(cancels, 0) << "an ended job has nothing to cancel";
    FromMenu(0, QStringLiteral("重试"));
    ASSERT_NE(again, nullptr);
    using C = TransfersPanel::Column;
    EXPECT_EQ(panel.Table()->rowCount(), 1);
    EXPECT_EQ(jobs.Entries().size(), 1);
    EXPECT_EQ(Cell(0, C::Attempts), QStringLiteral("2"));
    EXPECT_EQ(Cell(0, C::State), QStringLiteral("进行中"));
    EXPECT_EQ(Cell(0, C::Result), QString());
    EXPECT_EQ(Cell(0, C::Started), QStringLiteral("09:31:00")) << "the latest attempt's";

    ClickRow(0);
    QTest::keyClick(panel.Table(), Qt::Key_Delete);
    EXPECT_EQ(cancels, 1);
    jobs.End(again.get(), RunningJobs::State::Cancelled, QStringLiteral("已取消"), 0);
    EXPECT_EQ(Cell(0, C::State), QStringLiteral("已取消"));
}

// Enter opens a finished download's file; the menu opens its folder and takes ended rows off.
TEST_F(Panel, EnterOpensAFinishedDownloadAndTheMenuActsOnTheRow) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("9_a.pdf"));
    korvane::test::WriteFile(file, "pdf");
    QObject upload;
    QObject download;
    QObject gone;
    jobs.Add(&upload, Info(true, file), {});
    jobs.Add(&download, Info(false, file), {});
    jobs.Add(&gone, Info(false, dir.filePath(QStringLiteral("moved.pdf"))), {});
    for (QObject* job : {&upload, &download, &gone}) {
        jobs.End(job, RunningJobs::State::Succeeded, QStringLiteral("成功"), 1);
    }
    Desktop desktop;
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        ClickRow(1);
        QTest::keyClick(panel.Table(), key);
    }
    ClickRow(0);
    QTest::keyClick(panel.Table(), Qt::Key_Return);
    EXPECT_EQ(desktop.opened, QStringList({file, file})) << "downloads open, uploads do not";

    FromMenu(1, QStringLiteral("打开所在文件夹"));
    EXPECT_EQ(desktop.opened.value(2), dir.path());
    FromMenu(2, QStringLiteral("打开"));
    EXPECT_EQ(desktop.opened.size(), 3);
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("文件[%1]已不存在，可能已被移走或删除。")
                                               .arg(dir.filePath(QStringLiteral("moved.pdf")))});

    FromMenu(0, QStringLiteral("从列表中清除"));
    ASSERT_EQ(panel.Table()->rowCount(), 2);
    EXPECT_EQ(jobs.Entries().constFirst().info.upload, false);
}

// Earlier sessions' jobs stay below this session's, a job that starts later too; greyed, once
// per operator, with nothing to cancel, pause, retry or open, and taken off from their menu.
TEST_F(Panel, EarlierSessionsStayBelowGreyedAndCanOnlyBeTakenOff) {
    telmaris::EarlierJob earlier;  // a download: it would be opened if it could
    earlier.info = Info(false, QString());
    earlier.ended = now.addDays(-1);
    telmaris::EarlierJob failed = earlier;
    failed.succeeded = false;
    QObject before;
    QObject after;
    jobs.Add(&before, Info(true), {});
    jobs.AddEarlier(501, {earlier, failed});
    jobs.AddEarlier(501, {earlier});
    jobs.Add(&after, Info(true), {});
    using C = TransfersPanel::Column;
    ASSERT_EQ(panel.Table()->rowCount(), 4);
    EXPECT_EQ(Cell(1, C::State), QStringLiteral("进行中")) << "this session's come first";
    EXPECT_EQ(Cell(2, C::Window), QStringLiteral("之前的会话"));
    EXPECT_EQ(Cell(2, C::Started), QStringLiteral("2024-05-05 09:30:00"));
    EXPECT_NE(panel.Table()->item(2, C::File)->foreground(),
              panel.Table()->item(1, C::File)->foreground());
    Desktop desktop;
    for (const int row : {2, 3}) {
        ClickRow(row);
        QTest::keyClick(panel.Table(), Qt::Key_Return);
        for (const char* button :
             {"cancelTransfer", "pauseTransfer", "retryTransfer", "openTransferFolder"}) {
            EXPECT_FALSE(korvane::test::Child<QPushButton>(&panel, button)->isEnabled())
                << button << " on row " << row;
        }
    }
    EXPECT_TRUE(desktop.opened.isEmpty()) << "the history keeps no local path to open";
    FromMenu(3, QStringLiteral("从列表中清除"));
    EXPECT_EQ(panel.Table()->rowCount(), 3);
}

}  // namespace

#include "panel_test.moc"
