// The digit filter under X11 key events, as an operator's keyboard produces them: the xcb
// platform on Xvfb, keys sent by xdotool through the X server. X11 gives Tab, Delete, Escape
// and Enter a control character as text, which offscreen events do not. The registration
// window under the same keys, and under files dragged from another program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

#include <QComboBox>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>

#include "HostControls.h"
#include "HostWindow.h"
#include "PathList.h"
#include "RunningJobs.h"
#include "TfrmBusinessMain.h"
#include "TfrmMDIChild.h"
#include "TransfersPanel.h"
#include "support/Child.h"
#include "support/DialogRecorder.h"
#include "support/Files.h"
#include "support/KeySpy.h"
#include "support/KorvaneEnvironment.h"
#include "support/ScriptedStore.h"

namespace {

class KeysForm : public TfrmMDIChild {
public:
    KeysForm() : TfrmMDIChild(nullptr, DeferLoad{}) {
        digits = new QLineEdit(this);
        digits->setGeometry(10, 10, 120, 20);
        digits->setProperty("OnKeyPress", QStringLiteral("OnEditKeyPress"));
        next = new QLineEdit(this);
        next->setGeometry(10, 40, 120, 20);
        Loaded();
    }
    QLineEdit* digits;
    QLineEdit* next;
};

// An edit box, a list of three rows and a button, in the host's MDI area.
class ListForm : public TfrmMDIChild {
public:
    ListForm() : TfrmMDIChild(nullptr, DeferLoad{}) {
        resize(300, 240);
        edit = new QLineEdit(this);
        edit->setGeometry(10, 10, 120, 20);
        list = new TListViewEx(this);
        list->setGeometry(10, 40, 260, 120);
        list->SetColumns({QStringLiteral("a|80"), QStringLiteral("b|80")});
        for (int i = 0; i < 3; ++i) {
            list->AddSubItem(list->AddItem(QString::number(i)), QStringLiteral("x"));
        }
        button = new QPushButton(QStringLiteral("b"), this);
        button->setGeometry(10, 170, 80, 24);
        last = new QLineEdit(this);
        last->setGeometry(100, 170, 80, 24);
        Loaded();
    }
    QLineEdit* edit;
    TListViewEx* list;
    QPushButton* button;
    QLineEdit* last;
};

class X11Keys : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

public:
    // Sends keys through the X server to the window that has the input focus.
    static void XKeys(const QStringList& args) {
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"), args);
        ASSERT_TRUE(xdotool.waitForFinished(10000)) << xdotool.errorString().toStdString();
        ASSERT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().toStdString();
    }

protected:
    void Reset() {
        form.digits->setText(QStringLiteral("123"));
        form.digits->setFocus();
        form.digits->setCursorPosition(1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.digits->hasFocus(); }, 3000));
    }
    KeysForm form;
};

TEST_F(X11Keys, TypedCharactersAreFilteredAndEditingKeysAct) {
    Reset();
    form.digits->clear();
    XKeys({"type", "--delay", "20", "1a2-3"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.digits->text() == u"123"; }, 3000))
        << form.digits->text().toStdString();

    Reset();
    XKeys({"key", "Delete"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.digits->text() == u"13"; }, 3000))
        << "Delete deletes: " << form.digits->text().toStdString();

    Reset();
    XKeys({"key", "Tab"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.next->hasFocus(); }, 3000)) << "Tab leaves";
    EXPECT_EQ(form.digits->text(), QStringLiteral("123"));

    Reset();
    QSignalSpy returned(form.digits, &QLineEdit::returnPressed);
    XKeys({"key", "Return"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.count() == 1; }, 3000))
        << "Enter reaches the box as a key";
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.next->hasFocus(); }, 3000))
        << "and moves to the next tab stop";
    EXPECT_EQ(form.digits->text(), QStringLiteral("123"));

    Reset();
    int escapes = 0;
    korvane::test::KeySpy spy(Qt::Key_Escape, &escapes);
    form.installEventFilter(&spy);
    XKeys({"key", "Escape"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return escapes == 1; }, 3000))
        << "Escape reaches the box, which passes it on";
    form.removeEventFilter(&spy);
}

// Keys in a list and at the form's ends, with the form inside the host's MDI area.
TEST(X11ListKeys, TheListIsOneTabStopAndEnterWrapsInsideTheMdiArea) {
    QMdiArea area;
    area.resize(500, 400);
    area.show();
    telmaris::SetHostMdiArea(&area);
    auto* form = new ListForm;
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    area.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&area));
    const auto focusIs = [](QWidget* w) {
        return QTest::qWaitFor([w] { return QApplication::focusWidget() == w; }, 3000);
    };
    form->edit->setFocus();
    ASSERT_TRUE(focusIs(form->edit));
    X11Keys::XKeys({"key", "Tab"});
    ASSERT_TRUE(focusIs(form->list)) << "Tab enters the list";
    X11Keys::XKeys({"key", "Down", "Tab"});
    EXPECT_TRUE(focusIs(form->button)) << "one Tab leaves it";
    EXPECT_EQ(form->list->SelectedIndex(), 1) << "the arrow moved the selection, Tab did not";
    X11Keys::XKeys({"key", "shift+Tab"});
    EXPECT_TRUE(focusIs(form->list));
    X11Keys::XKeys({"key", "shift+Tab"});
    EXPECT_TRUE(focusIs(form->edit)) << "Shift+Tab leaves it the other way";
    EXPECT_EQ(form->list->SelectedIndex(), 1);

    form->last->setFocus();
    ASSERT_TRUE(focusIs(form->last));
    X11Keys::XKeys({"key", "Return"});
    EXPECT_TRUE(focusIs(form->edit)) << "Enter at the last stop wraps to the form's first";
    X11Keys::XKeys({"key", "Return"});
    EXPECT_TRUE(focusIs(form->list)) << "and moves on into the list";
    X11Keys::XKeys({"key", "Return"});
    EXPECT_TRUE(focusIs(form->button)) << "and out of it";
    telmaris::SetHostMdiArea(nullptr);
}

// Delete in the host's transfers panel cancels the selected running job.
TEST(X11Panel, DeleteCancelsTheSelectedRunningJob) {
    auto& jobs = telmaris::RunningJobs::Instance();
    jobs.ClearEnded();  // what other tests of this process ended
    QObject job;
    int cancels = 0;
    telmaris::JobHooks hooks;
    hooks.cancel = [&cancels] { ++cancels; };
    jobs.Add(&job,
             {QStringLiteral("号码管理之文件上传 [2]"), QStringLiteral("9"),
              QStringLiteral("9_a.pdf"), QStringLiteral("/tmp/9_a.pdf"), true, 501},
             hooks);
    telmaris::TransfersPanel panel;
    panel.resize(800, 240);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    panel.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    const auto rows = panel.Table()->findItems(QStringLiteral("9_a.pdf"), Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1);
    panel.Table()->selectRow(rows.constFirst()->row());
    panel.Table()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&panel] { return panel.Table()->hasFocus(); }, 3000));
    X11Keys::XKeys({"key", "Delete"});
    EXPECT_TRUE(QTest::qWaitFor([&cancels] { return cancels == 1; }, 3000));
    jobs.End(&job, telmaris::RunningJobs::State::Cancelled, QString(), 0);
    jobs.ClearEnded();
}

// The registration window on an SQLite database and a scripted store, shown and active.
class X11Window : public ::testing::Test {
protected:
    void SetUp() override {
        env = korvane::test::KorvaneEnvironment::Create(korvane::db::Backend::SQLite);
        ASSERT_NE(env, nullptr);
        form = new TfrmBusinessMain;  // frees itself when closed
        form->SetStoreFactory([folder = folder](const korvane::TransferRequest&) {
            return std::make_unique<korvane::test::ScriptedStore>(folder);
        });
        ASSERT_TRUE(form->InitBusinessForm(1021, 0, 0, 0, 501, QStringLiteral("session")));
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    }
    void TearDown() override { delete form; }
    template <class T>
    T* W(const char* name) {
        return korvane::test::Child<T>(form, name);
    }
    QString LocalFile(const QString& name, const QByteArray& content) {
        const QString path = local.filePath(name);
        korvane::test::WriteFile(path, content);
        return path;
    }

    std::unique_ptr<korvane::test::KorvaneEnvironment> env;
    korvane::test::DialogRecorder dialogs;
    std::shared_ptr<korvane::test::ScriptedStore::Folder> folder =
        std::make_shared<korvane::test::ScriptedStore::Folder>();
    QTemporaryDir local;
    QPointer<TfrmBusinessMain> form;
};

// Space on 上传 uploads; afterwards the focus is still on 上传, so the next Space uploads again
// (and is told what is missing) instead of closing the window from 退出.
TEST_F(X11Window, TheNextSpaceAfterATransferDoesNotCloseTheWindow) {
    W<QLineEdit>("edDownId2")->setText(QStringLiteral("5"));
    W<QComboBox>("cmbDownType2")->setCurrentIndex(1);
    W<QLineEdit>("edDownPath2")->setText(LocalFile(QStringLiteral("space.txt"), "space"));
    W<QPushButton>("btnFpt")->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([this] { return W<QWidget>("btnFpt")->hasFocus(); }, 3000));
    QSignalSpy ended(form.data(), &TfrmBusinessMain::transferFinished);
    X11Keys::XKeys({"key", "space"});
    ASSERT_TRUE(QTest::qWaitFor([&ended] { return ended.count() == 1; }, 10000));
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("文件上传成功，数据保存成功！")});
    dialogs.requests.clear();
    X11Keys::XKeys({"key", "space"});
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return !dialogs.requests.isEmpty() || form.isNull() || !form->isVisible(); },
        5000));
    ASSERT_FALSE(form.isNull()) << "the window was closed";
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("申请单号不能为空，请输入！")});
}

// Where the last drag move that reached the application's widgets was, on the screen.
class DragSeen : public QObject {
public:
    QPoint last{-1, -1};

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        auto* w = qobject_cast<QWidget*>(o);
        if (e->type() == QEvent::DragMove && w != nullptr) {
            last = w->mapToGlobal(static_cast<QDragMoveEvent*>(e)->position().toPoint());
        }
        return false;
    }
};

// Files dragged from another program onto the file-name box, over the X server: the box then
// names them as the file dialog would, and the upload finds them.
TEST_F(X11Window, FilesDraggedOntoTheBoxAreTheFilesToUpload) {
    const QStringList files{LocalFile(QStringLiteral("drag me.txt"), "dragged"),
                            LocalFile(QStringLiteral("and me.txt"), "too")};
    QLineEdit* box = W<QLineEdit>("edDownPath2");
    box->setText(QStringLiteral("/old/text"));
    QProcess source;
    source.start(QStringLiteral(KORVANE_BINARY_DIR "/tests/drag_source"), files);
    ASSERT_TRUE(source.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&source] { return source.canReadLine(); }, 10000));
    const QList<QByteArray> ready = source.readLine().trimmed().split(' ');
    ASSERT_EQ(ready.size(), 3);
    const QPoint target = box->mapToGlobal(box->rect().center());
    const QString x = QString::number(target.x());
    const QString y = QString::number(target.y());
    X11Keys::XKeys({"mousemove", QString::fromLatin1(ready[1]), QString::fromLatin1(ready[2]),
                    "mousedown", "1"});
    // The drag moves over the window in steps, as a hand does, and is let go on the box.
    for (int step = 1; step <= 4; ++step) {
        const QPoint p = QPoint(ready[1].toInt(), ready[2].toInt()) +
                         (target - QPoint(ready[1].toInt(), ready[2].toInt())) * step / 4;
        X11Keys::XKeys({"mousemove", QString::number(p.x()), QString::number(p.y())});
    }
    // Let go once the window has heard that the drag is over the box, as a hand lets go after
    // seeing the box take it.
    DragSeen seen;
    qApp->installEventFilter(&seen);
    // A source tells the target of the pointer only between the target's answers: the pointer
    // stirs on the box until the window has heard of it there.
    const auto heard = [&] { return (seen.last - target).manhattanLength() <= 2; };
    for (int stir = 0; stir < 40 && !heard(); ++stir) {
        X11Keys::XKeys({"mousemove", QString::number(target.x() + stir % 2), y});
        (void)QTest::qWaitFor(heard, 250);
    }
    EXPECT_TRUE(heard());
    qApp->removeEventFilter(&seen);
    X11Keys::XKeys({"mouseup", "1"});
    EXPECT_TRUE(QTest::qWaitFor([&source] { return source.canReadLine(); }, 10000));
    EXPECT_EQ(source.readLine().trimmed(), QByteArray("dropped 1"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return box->text() == korvane::JoinPathList(files); }, 5000))
        << box->text().toStdString();
    source.terminate();
    source.waitForFinished(10000);
}

}  // namespace
