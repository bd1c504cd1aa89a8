// The digit filter under X11 key events, as an operator's keyboard produces them: the xcb
// platform on Xvfb, keys sent by xdotool through the X server. X11 gives Tab, Delete, Escape
// and Enter a control character as text, which offscreen events do not.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

#include "HostControls.h"
#include "HostWindow.h"
#include "TfrmMDIChild.h"
#include "support/KeySpy.h"

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

}  // namespace
