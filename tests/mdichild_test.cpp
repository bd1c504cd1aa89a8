// The base child form with real key and mouse events, headless.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "Controls.h"
#include "HostWindow.h"
#include "KeyFilters.h"
#include "TfrmMDIChild.h"
#include "support/DialogRecorder.h"
#include "support/KeySpy.h"

using korvane::test::DialogRecorder;
using korvane::test::KeySpy;

namespace {

// A small derived form: a group box with edits bound to the five filters, a combo box, a
// nested frame, and an exit button bound to actCloseExecute.
class TestForm : public TfrmMDIChild {
public:
    explicit TestForm(std::function<void(TestForm*)> beforeLoad = {})
        : TfrmMDIChild(nullptr, DeferLoad{}) {
        setWindowTitle(QStringLiteral("测试窗口"));
        group = new QGroupBox(QStringLiteral("查询条件"), this);
        group->setObjectName(QStringLiteral("GroupBox1"));
        group->setGeometry(0, 0, 640, 200);
        const char* filters[] = {"OnEditKeyPress", "OnEditKeyPressDeciPoint",
                                 "OnEditKeyPressTraverse", "OnEditKeyPressTraverseChar",
                                 "OnEditKeyPressEmail"};
        for (int i = 0; i < 5; ++i) {
            auto* e = new QLineEdit(group);
            e->setObjectName(QStringLiteral("ed%1").arg(i));
            e->setGeometry(10 + 120 * i, 20, 100, 20);
            e->setProperty("OnKeyPress", QString::fromLatin1(filters[i]));
            edits.append(e);
        }
        combo = new TComboBox(group);
        combo->setObjectName(QStringLiteral("cmbType"));
        combo->setEditable(true);
        combo->setGeometry(10, 60, 120, 20);
        combo->setMaxVisibleItems(8);
        hintEdit = new QLineEdit(group);
        hintEdit->setObjectName(QStringLiteral("edHint"));
        hintEdit->setGeometry(200, 60, 100, 20);
        hintEdit->setEnabled(false);
        plainEdit = new QLineEdit(group);
        plainEdit->setGeometry(350, 60, 100, 20);
        outer = new TFrame(group);
        outer->setGeometry(10, 100, 600, 90);
        inner = new TFrame(outer);
        inner->setGeometry(10, 10, 500, 70);
        innerCombo = new TComboBox(inner);
        innerCombo->setObjectName(QStringLiteral("cmbInner"));
        innerCombo->setGeometry(10, 10, 120, 20);
        innerEdit = new QLineEdit(inner);
        innerEdit->setGeometry(150, 10, 100, 20);
        innerEdit->setEnabled(false);
        exit = new QPushButton(QStringLiteral("退出"), this);
        exit->setGeometry(558, 440, 75, 25);
        connect(exit, SIGNAL(clicked()), this, SLOT(actCloseExecute()));
        if (beforeLoad) {
            beforeLoad(this);
        }
        Loaded();
    }
    using TfrmMDIChild::InitForm;

    QGroupBox* group;
    QList<QLineEdit*> edits;
    TComboBox* combo;
    QLineEdit* hintEdit;
    QLineEdit* plainEdit;
    TFrame* outer;
    TFrame* inner;
    TComboBox* innerCombo;
    QLineEdit* innerEdit;
    QPushButton* exit;
};

class MdiChildTest : public ::testing::Test {
protected:
    void Show(TfrmMDIChild* f) {
        f->show();
        QWidget* w = f->SubWindow() ? static_cast<QWidget*>(f->SubWindow()) : f;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w->window()));
        w->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w->window()));
        QCoreApplication::processEvents();
    }
    // A new form opened inside area as the host's MDI area.
    TestForm* ShowInArea(QMdiArea& area) {
        area.resize(1000, 700);
        area.show();
        telmaris::SetHostMdiArea(&area);
        auto* form = new TestForm;
        Show(form);
        return form;
    }
    static void Type(QWidget* w, Qt::Key key, const QString& text,
                     Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::sendKeyEvent(QTest::Press, w, key, text, mods);
        QTest::sendKeyEvent(QTest::Release, w, key, text, mods);
    }
    static void TypeText(QWidget* w, const QString& text) {
        for (const QChar c : text) {
            Type(w, static_cast<Qt::Key>(c.toUpper().unicode()), QString(c));
        }
    }
    static void Settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
        }
    }
    static THintWindow* Hint(QWidget* form) {
        return form->findChild<THintWindow*>(QLatin1String(TfrmMDIChild::kHintWindowName));
    }
};

// Key filters -----------------------------------------------------------------------------

TEST(KeyFilterSets, EveryByteAbove127IsRefusedByAll) {
    using namespace korvane::keys;
    for (int b = 128; b < 256; ++b) {
        const auto c = static_cast<signed char>(b);
        EXPECT_FALSE(PassDigits(c) || PassDecimal(c) || PassTraverse(c) || PassSingleByte(c)) << b;
    }
    for (int c : {13, 27, 26, 9, 127}) {
        EXPECT_FALSE(PassDigits(static_cast<signed char>(c))) << c;
        EXPECT_TRUE(PassSingleByte(static_cast<signed char>(c))) << c;
    }
    for (int c : {1, 3, 8, 22, 24}) {
        EXPECT_TRUE(PassDigits(static_cast<signed char>(c))) << c;
    }
    EXPECT_EQ(FilterTypedText(QStringLiteral("a号1😀"), PassSingleByte), QStringLiteral("a1"));
}

TEST_F(MdiChildTest, TypedAndCommittedTextGoThroughEachFilter) {
    TestForm form;
    Show(&form);
    const QStringList expected{QStringLiteral("125"), QStringLiteral("12.5"), QStringLiteral("125"),
                               QStringLiteral("12a.5"), QStringLiteral("12a.5")};
    // Committed input-method text is typed text: the same filter judges it.
    const QStringList committed{QStringLiteral("12"), QStringLiteral("1.2"), QStringLiteral("1 2"),
                                QStringLiteral("1 .2"), QStringLiteral("1 .2")};
    for (int i = 0; i < 5; ++i) {
        form.edits[i]->setFocus();
        TypeText(form.edits[i], QStringLiteral("12a.5"));
        EXPECT_EQ(form.edits[i]->text(), expected[i]) << i;
        form.edits[i]->clear();
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("申请1 .2号"));
        QCoreApplication::sendEvent(form.edits[i], &commit);
        EXPECT_EQ(form.edits[i]->text(), committed[i]) << i;
    }
    form.edits[1]->clear();
    TypeText(form.edits[1], QStringLiteral("1.2.3"));
    EXPECT_EQ(form.edits[1]->text(), QStringLiteral("1.2.3"));
    form.edits[2]->clear();
    TypeText(form.edits[2], QStringLiteral("-3 4"));
    EXPECT_EQ(form.edits[2]->text(), QStringLiteral("-3 4"));
    form.edits[0]->clear();
    TypeText(form.edits[0], QStringLiteral("-3 4"));
    EXPECT_EQ(form.edits[0]->text(), QStringLiteral("34"));
}

TEST_F(MdiChildTest, ChineseCharactersAreSwallowedByAllFilters) {
    TestForm form;
    Show(&form);
    for (QLineEdit* e : form.edits) {
        e->setFocus();
        Type(e, Qt::Key_unknown, QStringLiteral("号"));
        Type(e, Qt::Key_unknown, QStringLiteral("，"));
        EXPECT_EQ(e->text(), QString()) << e->objectName().toStdString();
    }
    form.plainEdit->setFocus();
    Type(form.plainEdit, Qt::Key_unknown, QStringLiteral("号"));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("申请"));
    QCoreApplication::sendEvent(form.plainEdit, &commit);
    EXPECT_EQ(form.plainEdit->text(), QStringLiteral("号申请")) << "unbound boxes take everything";
}

TEST_F(MdiChildTest, EditingKeysPassAndUndoIsSwallowedByDigitFilters) {
    TestForm form;
    Show(&form);
    QLineEdit* digits = form.edits[0];
    digits->setFocus();
    TypeText(digits, QStringLiteral("123"));
    Type(digits, Qt::Key_Backspace, QStringLiteral("\b"));
    EXPECT_EQ(digits->text(), QStringLiteral("12"));
    Type(digits, Qt::Key_Z, QStringLiteral("\x1a"), Qt::ControlModifier);
    EXPECT_EQ(digits->text(), QStringLiteral("12")) << "Ctrl+Z swallowed";
    Type(digits, Qt::Key_A, QStringLiteral("\x01"), Qt::ControlModifier);
    EXPECT_EQ(digits->selectedText(), QStringLiteral("12"));
    Type(digits, Qt::Key_C, QStringLiteral("\x03"), Qt::ControlModifier);
    Type(digits, Qt::Key_End, QString());
    Type(digits, Qt::Key_V, QStringLiteral("\x16"), Qt::ControlModifier);
    EXPECT_EQ(digits->text(), QStringLiteral("1212"));
    Type(digits, Qt::Key_A, QStringLiteral("\x01"), Qt::ControlModifier);
    Type(digits, Qt::Key_X, QStringLiteral("\x18"), Qt::ControlModifier);
    EXPECT_EQ(digits->text(), QString());

    QLineEdit* ascii = form.edits[3];
    ascii->setFocus();
    TypeText(ascii, QStringLiteral("ab"));
    Type(ascii, Qt::Key_Z, QStringLiteral("\x1a"), Qt::ControlModifier);
    EXPECT_NE(ascii->text(), QStringLiteral("ab")) << "the single-byte filters let Ctrl+Z undo";
}

// On X11 Tab, Delete, Escape and Enter carry a control character as text. The filter judges
// that character alone; the key still acts.
TEST_F(MdiChildTest, KeysThatActAtKeyDownPassTheDigitFiltersAsX11SendsThem) {
    TestForm form;
    Show(&form);
    struct Row {
        const char* name;
        Qt::Key key;
        const char* text;
    };
    const Row rows[] = {{"Tab", Qt::Key_Tab, "\t"},
                        {"Delete", Qt::Key_Delete, "\x7f"},
                        {"Escape", Qt::Key_Escape, "\x1b"},
                        {"Return", Qt::Key_Return, "\r"}};
    for (int i = 0; i < 3; ++i) {
        QLineEdit* box = form.edits[i];
        for (const Row& row : rows) {
            SCOPED_TRACE(box->property("OnKeyPress").toString().toStdString() + " " + row.name);
            box->setText(QStringLiteral("123"));
            box->setCursorPosition(1);
            box->setFocus();
            Settle();
            QSignalSpy returned(box, &QLineEdit::returnPressed);
            int reachedParent = 0;  // an ignored key goes on to the parent after the box had it
            auto* spy = new KeySpy(row.key, &reachedParent);
            box->parentWidget()->installEventFilter(spy);
            Type(box, row.key, QString::fromLatin1(row.text));
            Settle();
            delete spy;
            switch (row.key) {
                case Qt::Key_Tab:
                    EXPECT_NE(QApplication::focusWidget(), box) << "Tab leaves the box";
                    EXPECT_EQ(box->text(), QStringLiteral("123"));
                    break;
                case Qt::Key_Delete:
                    EXPECT_EQ(box->text(), QStringLiteral("13"));
                    break;
                case Qt::Key_Escape:
                    EXPECT_EQ(reachedParent, 1);
                    EXPECT_EQ(box->text(), QStringLiteral("123"));
                    break;
                default:
                    EXPECT_EQ(returned.count(), 1) << "Enter reaches the box as a key";
                    EXPECT_EQ(box->text(), QStringLiteral("123"));
                    EXPECT_NE(QApplication::focusWidget(), box) << "and moves on";
                    break;
            }
        }
    }
}

// Enter traversal -------------------------------------------------------------------------

// The last of form's tab stops in its focus order.
QWidget* LastTabStop(QWidget* form) {
    QWidget* last = nullptr;
    QWidget* start = form->nextInFocusChain();
    QWidget* w = start;
    do {
        if (w->isEnabled() && w->isVisible() && (w->focusPolicy() & Qt::TabFocus) &&
            form->isAncestorOf(w) && w->focusProxy() == nullptr) {
            last = w;
        }
        w = w->nextInFocusChain();
    } while (w != start);
    return last;
}

TEST_F(MdiChildTest, EnterMovesToTheNextTabStopAndWraps) {
    TestForm form;
    Show(&form);
    QWidget::setTabOrder(form.edits[0], form.edits[1]);
    form.edits[0]->setFocus();
    Type(form.edits[0], Qt::Key_Return, QStringLiteral("\r"));
    Settle();
    EXPECT_EQ(QApplication::focusWidget(), form.edits[1]);
    EXPECT_EQ(form.edits[0]->text(), QString()) << "Enter inserts nothing";
    Type(form.edits[1], Qt::Key_Enter, QStringLiteral("\r"), Qt::ShiftModifier);
    Settle();
    EXPECT_EQ(QApplication::focusWidget(), form.edits[2]) << "Shift+Enter also moves forward";

    // From the last tab stop to the first.
    QWidget* last = LastTabStop(&form);
    last->setFocus();
    Type(last, Qt::Key_Return, QStringLiteral("\r"));
    Settle();
    QWidget* first = QApplication::focusWidget();
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, last);
    first->setFocus();
    Type(first, Qt::Key_Backtab, QString(), Qt::ShiftModifier);
    Settle();
    EXPECT_EQ(QApplication::focusWidget(), last) << "the first stop follows the last";
}

TEST_F(MdiChildTest, EnterMovesOnInsideTheHostsMdiArea) {
    QMdiArea area;
    TestForm* form = ShowInArea(area);
    QWidget::setTabOrder(form->edits[0], form->edits[1]);
    form->edits[0]->setFocus();
    Type(form->edits[0], Qt::Key_Return, QStringLiteral("\r"));
    Settle();
    EXPECT_EQ(QApplication::focusWidget(), form->edits[1]);
    EXPECT_TRUE(form->window()->testAttribute(Qt::WA_KeyboardFocusChange))
        << "focus reached by Enter is drawn as Tab's is";

    // The last stop wraps to the form's first, not to the frame around the form.
    QWidget* last = LastTabStop(form);
    last->setFocus();
    Type(last, Qt::Key_Return, QStringLiteral("\r"));
    Settle();
    QWidget* first = QApplication::focusWidget();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(form->isAncestorOf(first)) << first->metaObject()->className();
    Type(first, Qt::Key_Return, QStringLiteral("\r"));
    Settle();
    EXPECT_TRUE(form->isAncestorOf(QApplication::focusWidget()));
    EXPECT_NE(QApplication::focusWidget(), first);
    telmaris::SetHostMdiArea(nullptr);
    form->SubWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(MdiChildTest, OptedOutControlKeepsFocusAndHandlesEnterItself) {
    TestForm form;
    Show(&form);
    QLineEdit* e = form.edits[3];
    e->setProperty("Tag", TfrmMDIChild::kOptOutTag);
    QSignalSpy returned(e, &QLineEdit::returnPressed);
    e->setFocus();
    Type(e, Qt::Key_Return, QStringLiteral("\r"));
    Settle();
    EXPECT_EQ(QApplication::focusWidget(), e);
    EXPECT_EQ(returned.count(), 1);
    form.edits[4]->setFocus();
    QSignalSpy other(form.edits[4], &QLineEdit::returnPressed);
    Type(form.edits[4], Qt::Key_Return, QStringLiteral("\r"));
    Settle();
    EXPECT_EQ(other.count(), 1) << "the control still gets its key";
    EXPECT_NE(QApplication::focusWidget(), form.edits[4]);
}

// Window and closing ----------------------------------------------------------------------

TEST_F(MdiChildTest, OpensMaximisedInTheHostAreaAndRestoresToTheFixedRectangle) {
    QMdiArea area;
    TestForm* form = ShowInArea(area);
    ASSERT_NE(form->SubWindow(), nullptr);
    EXPECT_TRUE(form->SubWindow()->isMaximized());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("测试窗口"));
    form->SubWindow()->showNormal();
    EXPECT_EQ(form->SubWindow()->geometry(), QRect(-6, -6, 640, 500));
    telmaris::SetHostMdiArea(nullptr);
    QPointer<TestForm> alive(form);
    form->SubWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull()) << "the close box frees the form";
    EXPECT_TRUE(area.subWindowList().isEmpty());
}

TEST_F(MdiChildTest, TopLevelFormOpensMaximised) {
    auto* form = new TestForm;
    form->show();
    EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form->SubWindow(), nullptr);
    QPointer<TestForm> alive(form);
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}

TEST_F(MdiChildTest, EveryWayOfClosingDestroysTheForm) {
    QMdiArea area;
    area.show();
    telmaris::SetHostMdiArea(&area);
    auto closeWith = [](const std::function<void(TestForm*)>& how) {
        auto* form = new TestForm;
        form->show();
        QPointer<TestForm> alive(form);
        how(form);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return alive.isNull();
    };
    EXPECT_TRUE(closeWith(
        [](TestForm* f) { f->findChild<QAction*>(QStringLiteral("actClose"))->trigger(); }));
    EXPECT_TRUE(closeWith(
        [](TestForm* f) { f->findChild<QAction*>(QStringLiteral("actExit"))->trigger(); }));
    EXPECT_TRUE(closeWith([](TestForm* f) { QTest::mouseClick(f->exit, Qt::LeftButton); }));
    EXPECT_TRUE(closeWith([](TestForm* f) { f->SubWindow()->close(); }));
    EXPECT_TRUE(area.subWindowList().isEmpty());
    telmaris::SetHostMdiArea(nullptr);
}

TEST(MdiChildDescription, ActionListAndLook) {
    TfrmMDIChild form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("业务主窗口"));
    const auto actions = form.ActionListPublic()->actions();
    ASSERT_EQ(actions.size(), 73);
    EXPECT_EQ(actions.first()->objectName(), QStringLiteral("actQuery"));
    EXPECT_EQ(actions.last()->objectName(), QStringLiteral("actToTrophy"));
    const std::map<QString, std::pair<QString, int>> common{
        {"actQuery", {"查询", 2}},  {"actCommit", {"提交", 22}}, {"actClose", {"关闭", 9}},
        {"actAdd", {"增加", 33}},   {"actModify", {"修改", 30}}, {"actDelete", {"删除", 18}},
        {"actClear", {"清空", 15}}, {"actPrint", {"打印", 4}},   {"actHelp", {"帮助", 1}},
        {"actOK", {"确定", 17}},    {"actCancel", {"取消", 16}}, {"actExit", {"退出", 24}}};
    QSet<QString> names;
    QSet<int> indexes;
    for (QAction* a : actions) {
        names.insert(a->objectName());
        EXPECT_FALSE(a->text().isEmpty()) << a->objectName().toStdString();
        const int index = a->property("ImageIndex").toInt();
        indexes.insert(index);
        EXPECT_GE(index, 0);
        EXPECT_LE(index, 73);
        if (auto it = common.find(a->objectName()); it != common.end()) {
            EXPECT_EQ(a->text(), it->second.first);
            EXPECT_EQ(index, it->second.second);
        }
    }
    EXPECT_EQ(names.size(), 73);
    EXPECT_EQ(indexes.size(), 73) << "each action its own image";
    EXPECT_TRUE(indexes.contains(0) && indexes.contains(73)) << "the indexes run from 0 to 73";
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(205, 215, 255));
    EXPECT_EQ(form.font().pixelSize(), 12);
    EXPECT_TRUE(form.property("KeyPreview").toBool());
}

// Overflow hints --------------------------------------------------------------------------

TEST_F(MdiChildTest, HintAppearsOnlyWhenTextPlusMarginExceedsTheWidth) {
    TestForm form;
    Show(&form);
    THintWindow* hint = Hint(&form);
    ASSERT_NE(hint, nullptr);
    form.hintEdit->setText(QStringLiteral("申请单号 1024 合同扫描件"));
    const int textWidth = QFontMetrics(form.font()).horizontalAdvance(form.hintEdit->text());
    const QPoint over = form.hintEdit->geometry().center();

    form.hintEdit->resize(textWidth + 31, 20);  // 31 < 32: too narrow
    QTest::mouseMove(form.group, over);
    EXPECT_TRUE(hint->isVisible());
    const QPoint cursor = QCursor::pos();
    EXPECT_EQ(hint->geometry().left(), cursor.x());
    EXPECT_EQ(hint->geometry().top() + hint->geometry().height(), cursor.y());
    EXPECT_EQ(hint->text(), form.hintEdit->text());

    QTest::mouseMove(form.group, QPoint(5, 195));  // empty space
    EXPECT_FALSE(hint->isVisible());
    form.hintEdit->resize(textWidth + 32, 20);  // exactly enough: not less than needed
    QTest::mouseMove(form.group, over + QPoint(1, 0));
    EXPECT_FALSE(hint->isVisible());

    form.hintEdit->resize(10, 20);
    form.hintEdit->clear();
    QTest::mouseMove(form.group, form.hintEdit->geometry().center());
    EXPECT_FALSE(hint->isVisible()) << "an empty text never shows a hint";
}

TEST_F(MdiChildTest, ComboBoxHintsMeasureWithTheComboBoxsOwnFont) {
    TestForm form;
    Show(&form);
    THintWindow* hint = Hint(&form);
    QFont large = form.font();
    large.setPixelSize(20);
    form.combo->setFont(large);
    form.combo->setEditText(QStringLiteral("[7] 合同扫描"));
    const QString text = form.combo->currentText();
    const int own = QFontMetrics(large).horizontalAdvance(text);
    ASSERT_LT(QFontMetrics(form.font()).horizontalAdvance(text), own) << "the fonts must differ";
    form.combo->resize(own + 31, 20);  // too narrow in its own font only
    form.combo->setEnabled(false);     // disabled: the move reaches the group beneath
    const QPoint over = form.combo->geometry().center();
    QTest::mouseMove(form.group, over);
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->text(), text);
    form.combo->resize(own + 32, 20);
    QTest::mouseMove(form.group, over + QPoint(1, 0));
    EXPECT_FALSE(hint->isVisible());

    form.combo->resize(own + 31, 20);
    QTest::mouseMove(form.group, over);
    ASSERT_TRUE(hint->isVisible());
    form.combo->setEnabled(true);
    QTest::mouseMove(form.combo, QPoint(5, 5));
    EXPECT_TRUE(hint->isVisible()) << "an enabled combo box leaves the hint as it was";
}

TEST_F(MdiChildTest, PasswordBoxesNeverRevealAndEnabledBoxesHideTheHint) {
    TestForm form;
    Show(&form);
    THintWindow* hint = Hint(&form);
    form.hintEdit->setText(QStringLiteral("a text far too long for a narrow box"));
    form.hintEdit->resize(40, 20);
    QTest::mouseMove(form.group, form.hintEdit->geometry().center());
    ASSERT_TRUE(hint->isVisible());
    const QRect shown = hint->geometry();

    auto* secret = new QLineEdit(form.group);
    secret->setGeometry(470, 100, 40, 20);
    secret->setEchoMode(QLineEdit::Password);
    secret->setText(QStringLiteral("a very long secret password"));
    secret->setEnabled(false);
    secret->show();
    QTest::mouseMove(form.group, secret->geometry().center());
    EXPECT_TRUE(hint->isVisible()) << "left as it was";
    EXPECT_EQ(hint->geometry(), shown);
    EXPECT_NE(hint->text(), secret->text());

    form.plainEdit->setText(QStringLiteral("an enabled box with a long text in it"));
    QTest::mouseMove(form.plainEdit, QPoint(5, 5));
    EXPECT_FALSE(hint->isVisible());
}

TEST_F(MdiChildTest, InitFormTwiceLeavesOneHintWindow) {
    TestForm form;
    form.InitForm(&form);
    form.InitForm(&form);
    EXPECT_EQ(form.findChildren<THintWindow*>().size(), 1);
}

// Combo-box aids --------------------------------------------------------------------------

TEST_F(MdiChildTest, DropDownListWidensToItsWidestItem) {
    TestForm form;
    Show(&form);
    QFont small = form.font();
    small.setPixelSize(8);  // the combo box's own font: the rule measures with the form's
    form.combo->setFont(small);
    const QFontMetrics metrics(form.font());
    QString wide = QStringLiteral("[1] ");
    while (metrics.horizontalAdvance(wide) < 150) {
        wide += QStringLiteral("宽");
    }
    const int widest = metrics.horizontalAdvance(wide);
    ASSERT_LT(QFontMetrics(small).horizontalAdvance(wide) + 16 + 22, widest);
    struct Row {
        int items;
        int width;
    };
    ASSERT_EQ(form.combo->width(), 120);
    for (const Row row : {Row{10, widest + 16 + 22}, Row{8, widest + 16}, Row{0, 120 + 16}}) {
        SCOPED_TRACE(row.items);
        form.combo->clear();
        for (int i = 0; i < row.items; ++i) {
            form.combo->addItem(i == row.items / 2 ? wide : QStringLiteral("[%1] x").arg(i));
        }
        form.combo->view()->setMinimumWidth(0);
        form.combo->showPopup();
        QWidget* list = form.combo->view()->window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(list));
        EXPECT_GE(list->width(), row.width) << "the list that opens is as wide as the rule says";
        if (row.items > 0) {
            EXPECT_LT(list->width(), row.width + 8) << "and no wider";
        }
        form.combo->hidePopup();
    }
}

TEST_F(MdiChildTest, OwnDropDownHandlerIsKeptAndKeywordSearchStillOpens) {
    int ownCalls = 0;
    TestForm form([&](TestForm* f) { f->combo->OnDropDown = [&](QObject*) { ++ownCalls; }; });
    Show(&form);
    form.combo->addItems({QStringLiteral("[1] A"), QStringLiteral("[2] Contract")});
    form.combo->view()->setMinimumWidth(0);
    form.combo->showPopup();
    form.combo->hidePopup();
    EXPECT_EQ(ownCalls, 1);
    EXPECT_EQ(form.combo->view()->minimumWidth(), 0) << "not widened";

    DialogRecorder dialogs;
    dialogs.Queue(true, QStringLiteral("contr"));
    form.combo->setFocus();
    Type(QApplication::focusWidget(), Qt::Key_F3, QString(), Qt::ShiftModifier);
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].kind, telmaris::DialogKind::Keyword);
    EXPECT_EQ(dialogs.requests[0].target, form.combo);
    EXPECT_EQ(form.combo->currentIndex(), 1);

    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
    QCoreApplication::sendEvent(form.combo->lineEdit(), &rightClick);
    EXPECT_EQ(dialogs.requests.size(), 2);
    QCoreApplication::processEvents();
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(5, 5), QPoint(5, 5));
    QCoreApplication::sendEvent(form.combo, &menuKey);
    EXPECT_EQ(dialogs.requests.size(), 3);
}

TEST_F(MdiChildTest, AidsReachIntoFramesWithinFrames) {
    TestForm form;
    Show(&form);
    EXPECT_TRUE(static_cast<bool>(form.innerCombo->OnDropDown));
    DialogRecorder dialogs;
    form.innerCombo->setFocus();
    Type(QApplication::focusWidget(), Qt::Key_F3, QString());
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].target, form.innerCombo);

    form.innerEdit->setText(QStringLiteral("a long text inside the inner frame"));
    form.innerEdit->resize(30, 20);
    QTest::mouseMove(form.inner, form.innerEdit->geometry().center());
    EXPECT_TRUE(Hint(&form)->isVisible());
}

}  // namespace
