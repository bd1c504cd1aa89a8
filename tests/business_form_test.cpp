// The registration window: layout, lifecycle, search, upload, download and the FTP driver,
// against an embedded database and a real FTP server.
#include <gtest/gtest.h>

#include <algorithm>

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCryptographicHash>
#include <QDateEdit>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "FileRecord.h"
#include "FtpOptions.h"
#include "GuiServices.h"
#include "HostControls.h"
#include "InputChecks.h"
#include "IntentLog.h"
#include "PathList.h"
#include "PreviewPane.h"
#include "ReplaceDialog.h"
#include "RunningJobs.h"
#include "Sha256.h"
#include "Statements.h"
#include "TADOQuery.h"
#include "TfrmBusinessMain.h"
#include "TransferJob.h"
#include "TransfersPanel.h"
#include "WidgetTree.h"
#include "support/Child.h"
#include "support/DialogRecorder.h"
#include "support/FakeClock.h"
#include "support/Files.h"
#include "support/KorvaneEnvironment.h"
#include "support/PreviewDocuments.h"
#include "support/ScriptedStore.h"
#include "support/SshServer.h"
#include "support/TestCertificate.h"
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

constexpr const char* kAllTypes = "[0] 所有类型";

ftp::Timeouts Quick() {
    ftp::Timeouts t;
    t.connectMs = t.replyMs = t.acceptMs = t.readMs = t.writeMs = 3000;
    return t;
}

// The window on each backend. Its tests that transfer take the FTP server with env->UseFtp();
// the retry pauses cost no real time.
class FormTest : public korvane::test::KorvaneBackendTest {
protected:
    bool UsesFtp() const override { return false; }
    void Open() {
        form = std::make_unique<TfrmBusinessMain>();
        form->SetFtpTimeouts(Quick());
        form->SetFtpClock(&clock);
        ASSERT_TRUE(form->InitBusinessForm(1021, 0, 0, 0, 501, QStringLiteral("session")));
        BeforeShow();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    // What the window must have before it opens.
    virtual void BeforeShow() {}
    template <class T>
    T* W(const char* name) {
        return korvane::test::Child<T>(form.get(), name);
    }
    QLineEdit* Edit(const char* name) { return W<QLineEdit>(name); }
    QComboBox* Combo(const char* name) { return W<QComboBox>(name); }
    TListViewEx* List() { return W<TListViewEx>("lvList"); }
    void Click(const char* button) { W<QPushButton>(button)->click(); }
    QStringList ListRow(int row) {
        QStringList out;
        for (int c = 0; c < 6; ++c)
            out << List()->ItemText(row, c);
        return out;
    }
    QStringList Items(QComboBox* c) {
        QStringList out;
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    }
    // Fills the upload inputs.
    void Fill(const QString& id, int typeIndex, const QString& path, const QString& remark) {
        Edit("edDownId2")->setText(id);
        Combo("cmbDownType2")->setCurrentIndex(typeIndex);
        Edit("edDownPath2")->setText(path);
        Edit("edRemark")->setText(remark);
    }
    // Waits for the window's running transfer, if any, to end: its result.
    bool AwaitTransfer() {
        const QPointer<TfrmBusinessMain> f(form.get());
        if (!f || f->RunningTransfer() == nullptr) {
            return false;
        }
        bool result = false;
        const auto c = QObject::connect(f, &TfrmBusinessMain::transferFinished,
                                        [&result](bool ok) { result = ok; });
        EXPECT_TRUE(QTest::qWaitFor([&f] { return !f || f->RunningTransfer() == nullptr; }, 60000));
        QObject::disconnect(c);
        return result;
    }
    bool Transfer(int direction, const QString& remote, const QString& target) {
        return form->FtpTransfer(direction, remote, target) && AwaitTransfer();
    }
    // Clicks a button and waits for the transfer it started.
    void Send(const char* button) {
        Click(button);
        AwaitTransfer();
    }
    // The window's question about the registered names of an upload batch, once it is up.
    korvane::ReplaceDialog* Question() {
        korvane::ReplaceDialog* question = nullptr;
        const bool up = QTest::qWaitFor(
            [&] {
                question = form->findChild<korvane::ReplaceDialog*>();
                return question != nullptr && question->isVisible();
            },
            5000);
        return up ? question : nullptr;
    }
    // Clicks one of the question's buttons.
    void Answer(const char* button) {
        korvane::ReplaceDialog* question = Question();
        ASSERT_NE(question, nullptr) << "no question about registered names";
        QTest::mouseClick(korvane::test::Child<QPushButton>(question, button), Qt::LeftButton);
    }
    // What uploads left under temporary names in the remote directory.
    QStringList TemporaryFiles() const {
        return QDir(env->RemotePath(QString())).entryList({QStringLiteral("*.part")}, QDir::Files);
    }
    QString LocalFile(const QString& name, const QByteArray& content) {
        const QString path = local.filePath(name);
        WriteFile(path, content);
        return path;
    }

    DialogRecorder dialogs;
    QTemporaryDir local;
    korvane::test::FakeClock clock;
    std::unique_ptr<TfrmBusinessMain> form;
};

// Watches the window while a transfer runs, from a timer on the GUI thread: how often the timer
// fired, the progress dialog's values and texts, and one action once the dialog has a value.
class TransferWatch {
public:
    // act runs once the dialog's value reaches actAt per mille.
    explicit TransferWatch(std::function<void(QProgressDialog*)> act = {}, int actAt = 1)
        : act_(std::move(act)), actAt_(actAt) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start(50);
    }
    int ticks = 0;
    QList<int> values;
    QStringList labels;
    QElapsedTimer clock;  // started when the action ran
    bool Acted() const { return clock.isValid(); }

private:
    void Tick() {
        ++ticks;
        QProgressDialog* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("TransferDialog")) {
                dialog = qobject_cast<QProgressDialog*>(w);
            }
        }
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        values << dialog->value();
        labels << dialog->labelText();
        if (act_ && !Acted() && dialog->value() >= actAt_) {
            clock.start();
            act_(dialog);
        }
    }
    std::function<void(QProgressDialog*)> act_;
    int actAt_;
    QTimer timer_;
};

void ClickCancel(QProgressDialog* dialog) {
    QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
}

int ThreadCount() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("Threads:")) {
            return line.mid(8).trimmed().toInt();
        }
    }
    return -1;
}

// Layout and lifecycle ----------------------------------------------------------------------

TEST_P(FormTest, ControlsStandWhereTheLayoutPutsThem) {
    Open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("号码管理之文件上传"));
    // Every control of the description: name, caption (where it has one), left, top and width
    // (height where the description gives one, else 0: not checked).
    struct Spot {
        const char* name;
        const char* caption;
        QRect rect;
    };
    const Spot spots[] = {
        {"Label1", "申请单号", {38, 20, 0, 0}},       {"edDownId", nullptr, {90, 20, 120, 20}},
        {"Label2", "申请单类型", {225, 22, 0, 0}},    {"cmbDownType", nullptr, {290, 20, 120, 20}},
        {"Label3", "文件名称", {433, 20, 0, 0}},      {"edDownPath", nullptr, {490, 20, 120, 20}},
        {"chkDate", "生成日期起", {7, 50, 78, 20}},   {"dtpBegin", nullptr, {90, 50, 120, 20}},
        {"Label5", "生成日期止", {225, 50, 0, 0}},    {"dtpEnd", nullptr, {290, 50, 120, 20}},
        {"btnQuery", "查询", {535, 50, 75, 25}},      {"Label6", "申请单号", {37, 20, 0, 0}},
        {"edDownId2", nullptr, {90, 20, 120, 20}},    {"Label8", "文件名称", {234, 20, 0, 0}},
        {"edDownPath2", nullptr, {290, 20, 257, 20}}, {"btnOpenFile", "...", {560, 18, 51, 25}},
        {"Label7", "申请单类型", {25, 50, 0, 0}},     {"cmbDownType2", nullptr, {90, 50, 120, 20}},
        {"Label4", "备注", {258, 50, 0, 0}},          {"edRemark", nullptr, {290, 50, 320, 20}},
        {"btnFpt", "上传", {388, 10, 75, 25}},        {"btnDown", "下载", {475, 10, 75, 25}},
        {"btnExit", "退出", {558, 10, 75, 25}},
    };
    for (const Spot& s : spots) {
        SCOPED_TRACE(s.name);
        QWidget* w = W<QWidget>(s.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->pos(), s.rect.topLeft());
        if (s.rect.width() > 0) {
            EXPECT_EQ(w->size(), s.rect.size());
        }
        if (s.caption != nullptr) {
            const QString caption = w->property("text").toString();
            EXPECT_EQ(caption, QString::fromUtf8(s.caption));
        }
    }
    form->showNormal();  // the containers' rows at the description's client size
    form->resize(640, 480);
    QCoreApplication::processEvents();
    struct Box {
        const char* name;
        const char* title;
        int top, height;
    };
    for (const Box& b : {Box{"GroupBox1", "查询条件", 0, 85}, Box{"GroupBox2", "数据", 85, 85},
                         Box{"GroupBox3", "列表", 170, 269}}) {
        SCOPED_TRACE(b.name);
        EXPECT_EQ(W<QGroupBox>(b.name)->title(), QString::fromUtf8(b.title));
        EXPECT_EQ(W<QGroupBox>(b.name)->y(), b.top);
        EXPECT_EQ(W<QGroupBox>(b.name)->height(), b.height);
    }
    EXPECT_EQ(W<QWidget>("Panel1")->y(), 439);
    EXPECT_EQ(W<QWidget>("Panel1")->height(), 41);
    EXPECT_TRUE(W<QCheckBox>("chkDate")->isChecked());
    EXPECT_EQ(W<QDateEdit>("dtpBegin")->displayFormat(), QStringLiteral("yyyy/MM/dd"));
    EXPECT_TRUE(W<QDateEdit>("dtpEnd")->calendarPopup());
    const QStringList captions{"申请单号",   "申请单类型", "文件名称",
                               "操作员编号", "生成日期",   "备注"};
    const QList<int> widths{80, 80, 200, 80, 100, 80};
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(List()->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
        EXPECT_EQ(List()->columnWidth(c), widths[c]);
    }
    // Tab order inside each container.
    const QList<QStringList> chains{
        {"edDownId", "cmbDownType", "edDownPath", "chkDate", "dtpBegin", "dtpEnd", "btnQuery"},
        {"edDownId2", "edDownPath2", "cmbDownType2", "edRemark", "btnOpenFile"},
        {"btnFpt", "btnDown", "btnExit"}};
    for (const QStringList& expected : chains) {
        QStringList chain;
        QWidget* w = W<QWidget>(expected.first().toLatin1().constData());
        for (int i = 0; i < expected.size(); ++i, w = w->nextInFocusChain()) {
            // Inner parts of combo boxes and date pickers are not stops of their own.
            while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty() ||
                   qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
                w = w->nextInFocusChain();
            chain << w->objectName();
        }
        EXPECT_EQ(chain.join(u' ').toStdString(), expected.join(u' ').toStdString());
    }
}

TEST_P(FormTest, OrderNumberBoxesTakeDigitsOnlyAndEnterMovesOn) {
    Open();
    for (const char* name : {"edDownId", "edDownId2"}) {
        QLineEdit* box = Edit(name);
        box->setFocus();
        for (const QString& typed : {QStringLiteral("1"), QStringLiteral("a"), QStringLiteral("号"),
                                     QStringLiteral("2"), QStringLiteral("-")}) {
            QTest::sendKeyEvent(QTest::Press, box, Qt::Key_unknown, typed, Qt::NoModifier);
        }
        EXPECT_EQ(box->text(), QStringLiteral("12")) << name;
    }
    Edit("edDownId2")->setFocus();
    QTest::sendKeyEvent(QTest::Press, Edit("edDownId2"), Qt::Key_Return, QStringLiteral("\r"),
                        Qt::NoModifier);
    QCoreApplication::processEvents();
    EXPECT_TRUE(Edit("edDownPath2")->hasFocus()) << "Enter moves to the next tab stop";
}

TEST_P(FormTest, ShowingFillsBothTypeListsAndTheDateRange) {
    Open();
    const QStringList expected{kAllTypes, "[1] 合同", "[2] 身份证"};
    EXPECT_EQ(Items(Combo("cmbDownType")), expected);
    EXPECT_EQ(Items(Combo("cmbDownType2")), expected);
    EXPECT_EQ(Combo("cmbDownType")->currentIndex(), -1);
    EXPECT_EQ(Combo("cmbDownType2")->currentText(), QString());
    EXPECT_EQ(W<QDateEdit>("dtpBegin")->date(), QDate::currentDate());
    EXPECT_EQ(W<QDateEdit>("dtpEnd")->date(), QDate::currentDate().addDays(1));
    EXPECT_TRUE(dialogs.requests.isEmpty());
    EXPECT_EQ(form->OperatorId(), 501);
    EXPECT_EQ(form->Number(), 1021);
    ASSERT_NE(form->CodeTable(), nullptr);
    EXPECT_EQ(form->CodeTable()->GetTextByCode(502), "[502] 李四");
}

TEST_P(FormTest, WithoutOrderTypesOnlyTheAllTypesItemIsListed) {
    env->Exec(QStringLiteral("delete from xg.sys_base_type"));
    Open();
    EXPECT_EQ(Items(Combo("cmbDownType")), QStringList{kAllTypes});
    EXPECT_EQ(Items(Combo("cmbDownType2")), QStringList{kAllTypes});
}

TEST_P(FormTest, ABadConnectionStringGivesOneErrorMessageAndTheFormLives) {
    for (const QString& conn : {QString(""), QStringLiteral("Provider=Nope;Data Source=x"),
                                QStringLiteral("Provider=SQLite;Data Source=/no/such/dir/k.db")}) {
        env->WriteConfig(QString(), QString(), QString(), conn);
        dialogs.requests.clear();
        Open();
        ASSERT_EQ(dialogs.requests.size(), 1) << conn.toStdString();
        EXPECT_EQ(dialogs.requests[0].style, MB_ICONERROR);
        EXPECT_FALSE(dialogs.requests[0].text.isEmpty());
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(Combo("cmbDownType")->count(), 0);
    }
}

TEST_P(FormTest, InitFailureIsReportedWhileTheWaitBoxIsUp) {
    telmaris::SetHostConfigPath(QStringLiteral("/nonexistent/host.ini"));
    TfrmBusinessMain f;
    EXPECT_FALSE(f.InitBusinessForm(1021, 3, 2, 1, 501, QStringLiteral("s")));
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].text, QStringLiteral("系统管理服务初始化失败."));
    EXPECT_EQ(dialogs.requests[0].title, QStringLiteral("提示"));
    EXPECT_EQ(dialogs.requests[0].style, MB_ICONERROR);
    EXPECT_TRUE(dialogs.requests[0].waitBoxShown);
    EXPECT_FALSE(IsWaitBoxShown());
    EXPECT_EQ(f.CodeTable(), nullptr);
    EXPECT_EQ(f.ThirdValue(), 3);
    telmaris::SetHostConfigPath(env->config.Path());
}

// Search ------------------------------------------------------------------------------------

class SearchTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        env->Exec(
            QStringLiteral("insert into zy.res_download_path "
                           "values(1024,1,'1024_contract.txt',501,'%1 09:30:00','signed copy')")
                .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
        env->Exec(
            QStringLiteral("insert into zy.res_download_path "
                           "values(1025,7,'1025_id_card.txt',999,'2008-03-01 00:00:00','')"));
        env->Exec(
            QStringLiteral("insert into zy.res_download_path "
                           "values(1026,2,'1026_50%_off.txt',502,'2008-03-02 23:59:00','it''s')"));
        Open();
    }
    void Search(const QString& id, const QString& name, bool dates, int typeIndex = -1) {
        Edit("edDownId")->setText(id);
        Edit("edDownPath")->setText(name);
        W<QCheckBox>("chkDate")->setChecked(dates);
        Combo("cmbDownType")->setCurrentIndex(typeIndex);
        Click("btnQuery");
    }
};

TEST_P(SearchTest, NoConditionAsksForOneAndLeavesTheList) {
    Search(QString(), QString(), true);
    ASSERT_EQ(List()->Count(), 1);
    dialogs.requests.clear();
    Search(QStringLiteral("   "), QStringLiteral(" \t"), false, 0);
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].text, QStringLiteral("请至少确定一个查询条件"));
    EXPECT_EQ(dialogs.requests[0].style, MB_ICONINFORMATION);
    EXPECT_TRUE(Edit("edDownId")->hasFocus());
    EXPECT_EQ(List()->Count(), 1) << "the list keeps its content";
}

TEST_P(SearchTest, RowsAreListedColumnByColumn) {
    Search(QString(), QStringLiteral("  10  "), false);
    ASSERT_EQ(List()->Count(), 3);
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    EXPECT_EQ(ListRow(0), QStringList({"1024", "[1] 合同", "1024_contract.txt", "[501] 张三",
                                       today + " 09:30:00", "signed copy"}));
    EXPECT_EQ(ListRow(2),
              QStringList({"1025", "7", "1025_id_card.txt", "999", "2008-03-01 00:00:00", ""}))
        << "unknown type and operator show their bare codes; the newest row comes first";
    EXPECT_EQ(ListRow(1)[5], QStringLiteral("it's"));
    EXPECT_TRUE(dialogs.requests.isEmpty());
    form->SetSearchRowLimit(2);
    Search(QString(), QStringLiteral("10"), false);
    EXPECT_EQ(List()->Count(), 2);
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].text,
              QStringLiteral("符合条件的记录超过2条，只列出了前2条，请增加查询条件后再查询！"));
}

TEST_P(SearchTest, ConditionsNarrowTheList) {
    Search(QStringLiteral("1024"), QString(), false);
    EXPECT_EQ(List()->Count(), 1);
    Search(QString(), QStringLiteral("contract"), false);
    EXPECT_EQ(List()->Count(), 1);
    dialogs.requests.clear();
    Search(QString(), QStringLiteral("Contract"), false);
    EXPECT_EQ(List()->Count(), 0) << "names match with their letter case, as on every backend";
    Search(QString(), QString(), false, 2);
    ASSERT_EQ(List()->Count(), 1);
    EXPECT_EQ(List()->ItemText(0, 0), QStringLiteral("1026"));
    W<QDateEdit>("dtpBegin")->setDate(QDate(2008, 3, 1));
    W<QDateEdit>("dtpEnd")->setDate(QDate(2008, 3, 2));
    Search(QString(), QString(), true);
    ASSERT_EQ(List()->Count(), 1) << "the begin day from midnight, the end day excluded";
    EXPECT_EQ(List()->ItemText(0, 0), QStringLiteral("1025"));
    W<QDateEdit>("dtpEnd")->setDate(QDate(2008, 3, 1));
    dialogs.requests.clear();
    Search(QString(), QString(), true);
    EXPECT_EQ(List()->Count(), 0);
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].text, QStringLiteral("对不起，没找到符合条件的记录！"));
}

TEST_P(SearchTest, WildcardsInTheNameStillMatchAsPatterns) {
    Search(QString(), QStringLiteral("50%"), false);
    ASSERT_EQ(List()->Count(), 1);
    Search(QString(), QStringLiteral("1_2"), false);
    EXPECT_EQ(List()->Count(), 3) << "_ matches any one character";
}

TEST_P(SearchTest, HostileInputNeverChangesWhatTheStatementDoes) {
    const QStringList hostile{
        "'",
        "''",
        "' or '1'='1",
        "' or 1=1 --",
        "'; delete from zy.res_download_path; --",
        "x' union select * from zy.res_download_path --",
        "%' or down_id like '%",
        "\\'",
        "'/*",
        "*/'",
        "');drop table zy.res_download_path;--",
        "\" or \"1\"=\"1",
        "' || '",
        "1' and sleep(5) --",
        "%'; insert into zy.res_download_path values(1,1,'x',1,sysdate,'x');--",
        "'; update zy.res_download_path set remark='hacked';--",
        "' and 1=0 union select 1,2,3,4,5,6 --",
        "`",
        "'\n--",
        "\x01'",
        "合同'",
        QString(5000, u'\''),
        QString(3000, u'A') + "'",
        "' or ''='",
        "')--",
        "' collate nocase --",
        "%%%'",
        "';",
        "'--",
        "' or true --",
        "'; attach database '/tmp/x' as y; --"};
    ASSERT_GE(hostile.size(), 30);
    const QStringList before = env->Registrations();
    for (const QString& text : hostile) {
        dialogs.requests.clear();
        Search(QString(), text, false);
        EXPECT_EQ(List()->Count(), 0) << text.left(60).toStdString();
        ASSERT_EQ(dialogs.requests.size(), 1) << text.left(60).toStdString();
        EXPECT_EQ(dialogs.requests[0].text, QStringLiteral("对不起，没找到符合条件的记录！"))
            << "no statement failed for " << text.left(60).toStdString();
    }
    EXPECT_EQ(env->Registrations(), before);
    for (const QString& id :
         {QStringLiteral("1 or 1=1"), QStringLiteral("1;delete"), QStringLiteral("-1"),
          QStringLiteral("1e3"), QStringLiteral("１２"), QString(19, u'9')}) {
        dialogs.requests.clear();
        Search(id, QString(), false);
        ASSERT_EQ(dialogs.requests.size(), 1) << id.toStdString();
        EXPECT_EQ(dialogs.requests[0].text,
                  QStringLiteral("申请单号只能是不超过18位的数字，请重新输入！"));
    }
    EXPECT_EQ(env->Registrations(), before);
}

TEST_P(SearchTest, WithoutALookupTheOperatorShowsItsNumber) {
    telmaris::SetHostConfigPath(QStringLiteral("/nonexistent/host.ini"));
    TfrmBusinessMain bare;
    bare.InitBusinessForm(1021, 0, 0, 0, 501, QString());
    telmaris::SetHostConfigPath(env->config.Path());
    // The failed client reads no connection string; connect this form by hand.
    bare.Connection().SetConnectionString(env->db->ConnectionString());
    bare.Connection().SetConnected(true);
    korvane::test::Child<QLineEdit>(&bare, "edDownId")->setText(QStringLiteral("1024"));
    korvane::test::Child<QCheckBox>(&bare, "chkDate")->setChecked(false);
    korvane::test::Child<QPushButton>(&bare, "btnQuery")->click();
    auto* list = korvane::test::Child<TListViewEx>(&bare, "lvList");
    ASSERT_EQ(list->Count(), 1);
    EXPECT_EQ(list->ItemText(0, 3), QStringLiteral("501"));
}

// Statements --------------------------------------------------------------------------------

TEST(Statements, SearchAndInsertTexts) {
    korvane::SearchConditions c{QStringLiteral("1024"), QStringLiteral("3"),
                                QStringLiteral("abc"),  true,
                                QDate(2008, 3, 1),      QDate(2008, 3, 2)};
    EXPECT_EQ(korvane::BuildSearchStatement(c),
              QStringLiteral("select * from zy.res_download_path where 1=1 and down_id=1024 and "
                             "down_type=3 and down_path like '%abc%' and "
                             "create_date>=to_date('20080301','YYYYMMDD') and "
                             "create_date<to_date('20080302','YYYYMMDD')"));
    EXPECT_EQ(
        korvane::BuildInsertStatement("1024", "3",
                                      korvane::RemoteName("1024", "/home/op/docs/contract.txt"),
                                      501, "signed copy"),
        QStringLiteral(
            "insert into zy.res_download_path(down_id,down_type,down_path,op_id,"
            "create_date,remark) values(1024,3,'1024_contract.txt',501,sysdate,'signed copy')"));
    EXPECT_EQ(korvane::QuotedSql("it's"), QStringLiteral("'it''s'"));
    // Only '/' separates directories: names with ':' or '\\' keep them, so two files of one
    // order never collide under one remote name.
    const std::pair<const char*, const char*> names[] = {
        {"/home/op/a b.txt", "a b.txt"},
        {"/home/op/会议 10:30.txt", "会议 10:30.txt"},
        {"/tmp/会议 10:31.txt", "会议 10:31.txt"},
        {"C:x.txt", "C:x.txt"},
        {"/data/a\\b.txt", "a\\b.txt"},
        {"plain.txt", "plain.txt"},
    };
    for (const auto& [path, name] : names) {
        EXPECT_EQ(korvane::FileNamePart(QString::fromUtf8(path)), QString::fromUtf8(name)) << path;
    }
    EXPECT_TRUE(korvane::IsPlainFileName(QStringLiteral("9201_会议 10:30.txt")));
    EXPECT_TRUE(korvane::IsPlainFileName(QStringLiteral("9201_a\\b.txt")));
    EXPECT_FALSE(korvane::IsPlainFileName(".."));
    EXPECT_FALSE(korvane::IsPlainFileName("a/b"));
    EXPECT_FALSE(korvane::IsPlainFileName(""));
    EXPECT_TRUE(korvane::IsPlainFileName("1024_..txt"));
    EXPECT_EQ(korvane::TypeText({"[0] 所有类型", "[12] x", "[1] y"}, "1"), QStringLiteral("[1] y"));
    EXPECT_EQ(korvane::TypeText({"[0] 所有类型"}, "0"), QStringLiteral("[0] 所有类型"));
}

// Upload ------------------------------------------------------------------------------------

// The checks themselves are the core's; here, that the window shows their message as an
// information and puts the focus on the field each names.
TEST_P(FormTest, UploadChecksItsInputsInOrder) {
    Open();
    const QString file = LocalFile(QStringLiteral("contract.txt"), "signed");
    struct Case {
        QString id;
        int type;
        QString path;
        QString message;
        const char* focus;
    };
    const Case cases[] = {
        {"12a", 1, file, "申请单号只能是不超过18位的数字，请重新输入！", "edDownId2"},
        {"1024", 0, file, "申请单类型不能为空或为[全部]，请重新选择！", "cmbDownType2"},
        {"1024", 1, local.path(), "所给上传文件不存在，请重新确定！", "edDownPath2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.focus);
        dialogs.requests.clear();
        Fill(c.id, c.type, c.path, "r");
        Send("btnFpt");
        ASSERT_EQ(dialogs.Texts(), QStringList{c.message});
        EXPECT_EQ(dialogs.requests[0].style, MB_ICONINFORMATION);
        EXPECT_TRUE(W<QWidget>(c.focus)->hasFocus());
    }
    EXPECT_TRUE(env->Registrations().isEmpty());
}

TEST_P(FormTest, UploadStoresTheFileAndRegistersItExactly) {
    env->UseFtp();
    Open();
    const QByteArray content = Pattern(300000, 31);
    const QString file = LocalFile(QStringLiteral("contract.txt"), content);
    Fill(QStringLiteral(" 1024 "), 1, QStringLiteral("  ") + file + QStringLiteral(" "),
         QStringLiteral(" it's signed "));
    const TransferWatch watch;
    Send("btnFpt");
    EXPECT_TRUE(watch.labels.isEmpty()) << "a transfer this short shows no progress dialog";
    ASSERT_EQ(dialogs.Texts(), QStringList{QStringLiteral("文件上传成功，数据保存成功！")});
    EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("1024_contract.txt"))), content);
    EXPECT_EQ(env->Registrations(),
              QStringList{QStringLiteral("1024|1|1024_contract.txt|501|it's signed")});
    EXPECT_EQ(Edit("edDownId2")->text(), QString());
    EXPECT_EQ(Edit("edDownPath2")->text(), QString());
    EXPECT_EQ(Edit("edRemark")->text(), QString());
    EXPECT_EQ(Combo("cmbDownType2")->currentIndex(), -1);
    EXPECT_EQ(Combo("cmbDownType2")->currentText(), QString());
    dialogs.requests.clear();
    Send("btnFpt");
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("申请单号不能为空，请输入！")});
}

TEST_P(FormTest, ReplacingARegisteredFileNeedsTheOperatorsYes) {
    env->UseFtp();
    Open();
    const QString first = LocalFile(QStringLiteral("x.txt"), "first");
    Fill("7", 1, first, "");
    Send("btnFpt");
    QTemporaryDir other;
    const QString second = other.filePath(QStringLiteral("x.txt"));
    WriteFile(second, "second");
    dialogs.requests.clear();
    Fill("7", 2, second, "again");
    Click("btnFpt");
    Answer("cancelUpload");
    EXPECT_FALSE(form->Transferring());
    EXPECT_TRUE(dialogs.requests.isEmpty());
    EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("7_x.txt"))), QByteArray("first"));
    EXPECT_EQ(env->Registrations().size(), 1);
    EXPECT_EQ(Edit("edDownPath2")->text(), second) << "cancel leaves everything as it was";

    Click("btnFpt");
    Answer("replaceButton");
    AwaitTransfer();
    EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("7_x.txt"))), QByteArray("second"));
    EXPECT_EQ(env->Registrations().size(), 2);
    ASSERT_EQ(dialogs.Texts().size(), 1);
    EXPECT_TRUE(
        StartsWith(dialogs.Texts()[0],
                   QStringLiteral("文件上传成功，数据保存成功！\n7_x.txt（替换了原文件：5 B，"
                                  "张三于")))
        << dialogs.Texts()[0].toStdString();
}

// Several registered names in one batch are one question: each with the server's file and the
// local one, replaced or skipped, an answer taken for the rest; the summary says what replaced
// what and what was skipped.
TEST_P(FormTest, AMixedConflictBatchIsOneQuestion) {
    env->UseFtp();
    Open();
    QStringList olds;
    QStringList news;
    QTemporaryDir fresh;
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
        if (QByteArray(name) != "c.txt") {
            olds << LocalFile(QString::fromLatin1(name), "old");
        }
        news << fresh.filePath(QString::fromLatin1(name));
        WriteFile(news.last(), "the new one");
    }
    Fill("61", 1, korvane::JoinPathList(olds), "");
    Send("btnFpt");
    ASSERT_EQ(env->Registrations().size(), 3);

    dialogs.requests.clear();
    Fill("61", 1, korvane::JoinPathList(news), "");
    Click("btnFpt");
    korvane::ReplaceDialog* question = Question();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->parentWidget(), form.get()) << "the window's own question";
    QTest::mouseClick(W<QPushButton>("btnFpt"), Qt::LeftButton);
    EXPECT_EQ(form->findChildren<korvane::ReplaceDialog*>().size(), 1)
        << "the window under its question takes no click";
    const auto* table = korvane::test::Child<QTableWidget>(question, "replaceTable");
    ASSERT_EQ(table->rowCount(), 3) << "only the registered names";
    EXPECT_EQ(table->item(2, 0)->text(), QStringLiteral("61_d.txt"));
    EXPECT_TRUE(StartsWith(table->item(0, 1)->text(), QStringLiteral("3 B，张三于")));
    EXPECT_TRUE(StartsWith(table->item(0, 2)->text(), QStringLiteral("11 B，修改于")));
    const auto* text = korvane::test::Child<QLabel>(question, "replaceQuestion");
    EXPECT_TRUE(Contains(text->text(), QStringLiteral("[61_a.txt]"))) << text->text().toStdString();
    Answer("replaceButton");
    EXPECT_TRUE(Contains(text->text(), QStringLiteral("[61_b.txt]"))) << text->text().toStdString();
    EXPECT_EQ(table->item(0, 3)->text(), QStringLiteral("替换"));
    QTest::mouseClick(korvane::test::Child<QCheckBox>(question, "replaceRest"), Qt::LeftButton);
    Answer("skipButton");
    AwaitTransfer();

    EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("61_a.txt"))), "the new one");
    EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("61_b.txt"))), "old");
    EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("61_c.txt"))), "the new one");
    EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("61_d.txt"))), "old");
    EXPECT_EQ(env->Registrations().size(), 5);
    ASSERT_EQ(dialogs.Texts().size(), 1) << dialogs.Texts().join(u'|').toStdString();
    const QStringList summary = dialogs.Texts()[0].split(u'\n');
    ASSERT_EQ(summary.size(), 2) << dialogs.Texts()[0].toStdString();
    EXPECT_TRUE(StartsWith(summary[0],
                           QStringLiteral("已上传2个文件：61_a.txt（替换了原文件：3 B，张三于")))
        << summary[0].toStdString();
    EXPECT_TRUE(EndsWith(summary[0], QStringLiteral("上传）、61_c.txt")));
    EXPECT_EQ(summary[1], QStringLiteral("跳过2个文件：61_b.txt、61_d.txt"));
    EXPECT_EQ(Edit("edDownId2")->text(), QString()) << "a skip is the operator's choice";
}

TEST_P(FormTest, AnUnreadableRegistrationTableStillAsksBeforeReplacing) {
    env->UseFtp();
    Open();
    const QString file = LocalFile(QStringLiteral("y.txt"), "first");
    Fill("8", 1, file, "");
    Send("btnFpt");
    WriteFile(file, "second");
    form->Connection().SetConnected(false);  // the database is gone
    dialogs.requests.clear();
    dialogs.Queue(false);
    Fill("8", 1, file, "");
    Send("btnFpt");
    ASSERT_EQ(dialogs.requests.size(), 1) << dialogs.Texts().join(u'|').toStdString();
    EXPECT_EQ(dialogs.requests[0].kind, telmaris::DialogKind::Confirm);
    EXPECT_TRUE(StartsWith(
        dialogs.requests[0].text,
        QStringLiteral("服务器上已有登记过的同名文件[8_y.txt]，上传将替换该文件。是否继续？\n")));
    EXPECT_TRUE(Contains(dialogs.requests[0].text, QStringLiteral("无法读取")));
    EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("8_y.txt"))), QByteArray("first"));
}

// A registration that cannot be saved undoes the upload: the server keeps the file it had and
// no temporary file is left.
TEST_P(FormTest, AFailedRegistrationLeavesTheServerAsItWas) {
    env->UseFtp();
    env->db->RefuseInserts();
    Open();
    WriteFile(env->RemotePath(QStringLiteral("55_keep.txt")), "the old content");
    const QString file = LocalFile(QStringLiteral("keep.txt"), "new");
    Fill("55", 1, file, "r");
    Send("btnFpt");
    const QStringList texts = dialogs.Texts();
    ASSERT_EQ(texts.size(), 1) << texts.join(u'|').toStdString();
    EXPECT_TRUE(
        StartsWith(texts[0], QStringLiteral("数据保存失败，上传已撤销，服务器上的文件未改变！\n")));
    EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("55_keep.txt"))),
              QByteArray("the old content"));
    EXPECT_EQ(TemporaryFiles(), QStringList());
    EXPECT_EQ(Edit("edDownId2")->text(), QStringLiteral("55")) << "inputs keep their values";
}

// Chinese characters, as a screen shows them (full-width punctuation included).
bool HasChinese(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) ||
               (c.unicode() >= 0x3000 && c.unicode() <= 0x303F) ||
               (c.unicode() >= 0xFF00 && c.unicode() <= 0xFFEF);
    });
}

// Every text the window shows or names, except the order types' items from the database.
QStringList ShownTexts(QWidget* form) {
    QStringList texts{form->windowTitle()};
    for (QWidget* w : form->findChildren<QWidget*>()) {
        texts << w->accessibleName() << w->toolTip() << w->windowTitle();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            texts << label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            texts << button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            texts << group->title();
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            texts << combo->itemText(0);  // "[0] ...", the rest are the database's
        } else if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model()) {
            for (int c = 0; c < view->model()->columnCount(); ++c) {
                texts << view->model()->headerData(c, Qt::Horizontal).toString();
            }
        }
    }
    for (QAction* a : form->findChildren<QAction*>()) {
        texts << a->text();
    }
    texts.removeAll(QString());
    return texts;
}

// In English the window keeps no Chinese but the data, and says its messages in English.
TEST_P(FormTest, InEnglishNoChineseIsLeftButTheData) {
    ASSERT_TRUE(InstallLanguage(QString::fromLatin1(kLanguageEnglish)));
    struct Back {
        ~Back() { InstallLanguage(QString()); }
    } back;
    Open();
    const QStringList texts = ShownTexts(form.get());
    EXPECT_GT(texts.size(), 100) << "labels, buttons, columns, the actions";
    for (const QString& text : texts) {
        EXPECT_FALSE(HasChinese(text)) << text.toStdString();
    }
    EXPECT_EQ(W<QGroupBox>("GroupBox1")->title(), QStringLiteral("Search conditions"));
    EXPECT_EQ(Combo("cmbDownType")->itemText(1), QStringLiteral("[1] 合同")) << "data stays";
    Click("btnFpt");
    EXPECT_EQ(dialogs.Texts(),
              QStringList{QStringLiteral("The order number must not be empty; please enter it!")});
    EXPECT_EQ(dialogs.requests[0].title, QStringLiteral("Notice"));
}

// A screen reader names every box by its caption.
TEST_P(FormTest, EveryControlHasItsCaptionAsAccessibleName) {
    Open();
    const QList<QPair<const char*, QString>> names = {
        {"edDownId", QStringLiteral("申请单号")},
        {"cmbDownType", QStringLiteral("申请单类型")},
        {"edDownPath", QStringLiteral("文件名称")},
        {"dtpBegin", QStringLiteral("生成日期起")},
        {"dtpEnd", QStringLiteral("生成日期止")},
        {"edDownId2", QStringLiteral("申请单号")},
        {"edDownPath2", QStringLiteral("文件名称")},
        {"cmbDownType2", QStringLiteral("申请单类型")},
        {"edRemark", QStringLiteral("备注")},
        {"lvList", QStringLiteral("列表")},
        {"btnOpenFile", QStringLiteral("选择要上传的文件")}};
    for (const auto& [name, expected] : names) {
        EXPECT_EQ(W<QWidget>(name)->accessibleName(), expected) << name;
    }
    for (auto* button : form->findChildren<QAbstractButton*>()) {
        if (button->objectName().isEmpty() || button->objectName().startsWith(u"qt_")) {
            continue;  // the parts of Qt's own widgets (a calendar's arrows)
        }
        EXPECT_FALSE(button->accessibleName().isEmpty() && button->text().isEmpty())
            << button->objectName().toStdString();
    }
}

// Under a dark desktop theme the form's colours follow it: every caption keeps 4.5:1 against
// the background it is painted on; the light theme keeps the family colour.
TEST_P(FormTest, CaptionsStayReadableUnderADarkTheme) {
    const QPalette light = QApplication::palette();
    QPalette dark(QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    for (const bool darkTheme : {true, false}) {
        QApplication::setPalette(darkTheme ? dark : light);
        Open();
        QCoreApplication::processEvents();
        for (QWidget* w : form->findChildren<QWidget*>()) {
            if (!qobject_cast<QLabel*>(w) && !qobject_cast<QCheckBox*>(w) &&
                !qobject_cast<QGroupBox*>(w)) {
                continue;
            }
            QWidget* painted = w;
            while (painted != form.get() && !painted->autoFillBackground()) {
                painted = painted->parentWidget();
            }
            const double ratio = ContrastRatio(w->palette().color(QPalette::WindowText),
                                               painted->palette().color(QPalette::Window));
            EXPECT_GE(ratio, kMinimumContrast) << w->objectName().toStdString();
        }
        if (!darkTheme) {
            EXPECT_EQ(form->palette().color(QPalette::Window), QColor(205, 215, 255));
        }
    }
    QApplication::setPalette(light);
}

TEST_P(FormTest, ChoosingAFileFillsThePath) {
    Open();
    dialogs.Queue(true, QStringLiteral("/home/op/contract.txt"));
    Click("btnOpenFile");
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].kind, telmaris::DialogKind::OpenFile);
    EXPECT_EQ(dialogs.requests[0].preset, QString()) << "it starts on all files";
    EXPECT_EQ(dialogs.requests[0].filter, QStringLiteral("*.*|*.*|*.txt|*.txt|*.sql|*.sql"));
    EXPECT_EQ(Edit("edDownPath2")->text(), QStringLiteral("/home/op/contract.txt"));
    dialogs.Queue(false);
    Click("btnOpenFile");
    EXPECT_EQ(Edit("edDownPath2")->text(), QStringLiteral("/home/op/contract.txt"));

    // The dialog starts in the folder of the last file chosen, kept in the operator's state
    // folder (so by the next window too); a cancel changes nothing.
    const QString chosen = LocalFile(QStringLiteral("signed.pdf"), "x");
    dialogs.Queue(true, chosen);
    Click("btnOpenFile");
    for (const bool accept : {false, true}) {
        dialogs.requests.clear();
        dialogs.Queue(accept, chosen);
        form = std::make_unique<TfrmBusinessMain>();
        Click("btnOpenFile");
        ASSERT_EQ(dialogs.requests.size(), 1);
        EXPECT_EQ(dialogs.requests[0].folder, local.path());
    }
}

// FTP driver --------------------------------------------------------------------------------

TEST_P(FormTest, TransferFailuresSayWhy) {
    env->UseFtp();
    Open();
    const QString file = LocalFile(QStringLiteral("f.txt"), "x");
    env->WriteConfig(QString(), QStringLiteral("wrong"));
    EXPECT_FALSE(Transfer(1, QStringLiteral("f.txt"), file));
    ASSERT_EQ(dialogs.requests.size(), 1);
    QStringList lines = dialogs.requests[0].text.split(u'\n');
    EXPECT_EQ(lines[0], QStringLiteral("不能登录远程FTP服务器，请确定正确的用户名及密码！"));
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(StartsWith(lines[1], QStringLiteral("530"))) << lines[1].toStdString();

    env->WriteConfig(QString(), QString(), QStringLiteral("/missing"));
    dialogs.requests.clear();
    EXPECT_FALSE(Transfer(2, QStringLiteral("f.txt"), local.filePath("g.txt")));
    lines = dialogs.requests.value(0).text.split(u'\n');
    EXPECT_EQ(lines[0], QStringLiteral("设置远程路径出错！"));
    EXPECT_TRUE(StartsWith(lines.value(1), QStringLiteral("550")));

    const QString dead = QStringLiteral("127.0.0.1:%1").arg(korvane::test::FreePort());
    env->WriteConfig(dead);
    dialogs.requests.clear();
    EXPECT_FALSE(Transfer(1, QStringLiteral("f.txt"), file));
    lines = dialogs.requests.value(0).text.split(u'\n');
    EXPECT_TRUE(StartsWith(lines[0], QStringLiteral("远程FTP服务器[%1]拒绝连接").arg(dead)))
        << "a refused connection is no question of the password";
    EXPECT_EQ(lines.value(1), QStringLiteral("Connection refused"));

    env->WriteConfig();
    dialogs.requests.clear();
    EXPECT_FALSE(Transfer(2, QStringLiteral("gone.txt"), local.filePath("gone.txt")));
    ASSERT_EQ(dialogs.requests.size(), 1) << "a failed transfer is never silent";
    EXPECT_TRUE(Contains(dialogs.requests[0].text, QStringLiteral("550")));
    EXPECT_TRUE(Transfer(1, QStringLiteral("f.txt"), file)) << "parameters are read anew";
}

// One truth -------------------------------------------------------------------------------

// Another host's upload of the same name holds it: this one is told at once and sends nothing.
// A claim whose host fell silent expires, and then the upload goes through.
TEST_P(FormTest, ANameBeingUploadedElsewhereIsRefusedUntilItsClaimExpires) {
    env->UseFtp();
    Open();
    korvane::db::TADOQuery q(form->Connection());
    korvane::db::FileRecord record(q);
    const int64_t now = QDateTime::currentSecsSinceEpoch();
    const QString remote = QStringLiteral("7777_big.bin");
    ASSERT_EQ(
        record.Claim(remote, {QStringLiteral("b-token"), 502, QStringLiteral("host-b"), now, now},
                     600, nullptr),
        korvane::db::FileRecord::ClaimResult::Claimed);
    const QString file = LocalFile(QStringLiteral("big.bin"), "mine");
    Fill("7777", 1, file, "");
    Send("btnFpt");
    EXPECT_EQ(dialogs.Texts(),
              QStringList{
                  QStringLiteral("[李四]正在上传同名文件[7777_big.bin]（开始于%1），请稍后再试。")
                      .arg(QDateTime::fromSecsSinceEpoch(now).toString(QStringLiteral("HH:mm")))});
    EXPECT_FALSE(QFile::exists(env->RemotePath(remote)));
    EXPECT_EQ(TemporaryFiles(), QStringList());
    EXPECT_TRUE(env->Registrations().isEmpty());

    // The other host died long ago.
    record.Release(remote, QStringLiteral("b-token"));
    ASSERT_EQ(record.Claim(remote,
                           {QStringLiteral("c-token"), 502, QStringLiteral("host-c"), now - 7200,
                            now - 7200},
                           600, nullptr),
              korvane::db::FileRecord::ClaimResult::Claimed);
    dialogs.requests.clear();
    Send("btnFpt");
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("文件上传成功，数据保存成功！")});
    const auto stored = record.Current(remote);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->size, 4);
    EXPECT_EQ(stored->sha256, QString::fromStdString(ftp::Sha256OfFile(QFile::encodeName(file))));
    EXPECT_EQ(stored->opId, 501);
}

// What a replaced row says, and a download whose server file changed after it was registered
// (same size, so only the digest tells): never a success, and kept where it cannot be taken
// for the registered file.
TEST_P(FormTest, RecordsKeepRowsAndDownloadsTruthful) {
    env->UseFtp();
    QTemporaryDir downloads;  // shards on other backends download the same names
    env->WriteConfig(QString(), QString(), QString(), QString(),
                     QStringLiteral("korvane_down_dir=") + downloads.path());
    Open();
    const QString remote = QStringLiteral("31_r.txt");
    Fill("31", 1, LocalFile(QStringLiteral("r.txt"), "first"), "");
    Send("btnFpt");
    env->Exec(QStringLiteral(
        "update zy.res_download_path set create_date=to_date('20200101','YYYYMMDD')"));
    dialogs.requests.clear();
    Fill("31", 1, LocalFile(QStringLiteral("r.txt"), "second"), "");
    Click("btnFpt");
    ASSERT_NE(Question(), nullptr);
    const QString asked = korvane::test::Child<QLabel>(Question(), "replaceQuestion")->text();
    EXPECT_TRUE(
        StartsWith(asked, QStringLiteral("服务器上已有登记过的同名文件[31_r.txt]（5 B，张三于")))
        << asked.toStdString();
    Answer("replaceButton");
    AwaitTransfer();
    ASSERT_EQ(env->Registrations().size(), 2) << "the earlier row stays for the other programs";

    Edit("edDownId")->setText(QStringLiteral("31"));
    W<QCheckBox>("chkDate")->setChecked(false);
    QSignalSpy marked(form.get(), &TfrmBusinessMain::listMarked);
    Click("btnQuery");
    ASSERT_EQ(List()->Count(), 2);
    ASSERT_TRUE(marked.wait(10000));
    // Newest first: the new upload with its recorded size, the replaced row without one.
    EXPECT_EQ(List()->ItemText(1, 4), QStringLiteral("2020-01-01 00:00:00（已被替换）"));
    EXPECT_FALSE(EndsWith(List()->ItemText(0, 4), QStringLiteral("（已被替换）")));
    EXPECT_EQ(List()->ItemText(0, 6), QStringLiteral("6 B"));
    EXPECT_EQ(List()->ItemText(1, 6), QString());

    const QString target = downloads.filePath(remote);
    dialogs.requests.clear();
    List()->selectRow(0);
    // A double-click downloads the row under the mouse: the replaced one.
    const QRect cell = List()->visualRect(List()->model()->index(1, 2));
    // What a mouse sends: press, release, double-click, release.
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, cell.center());
    AwaitTransfer();
    EXPECT_EQ(List()->SelectedIndexes(), QList<int>{1});
    ASSERT_EQ(dialogs.Texts().size(), 1);
    EXPECT_TRUE(Contains(dialogs.Texts()[0], QStringLiteral("下载的是最新的文件")));
    EXPECT_EQ(ReadFile(target), QByteArray("second"));
    QFile::remove(target);

    WriteFile(env->RemotePath(remote), "SECOND");  // changed on the server, same size
    dialogs.requests.clear();
    Send("btnDown");
    ASSERT_EQ(dialogs.Texts().size(), 1);
    EXPECT_TRUE(StartsWith(dialogs.Texts()[0], QStringLiteral("服务器上的文件与登记时不一致")))
        << dialogs.Texts()[0].toStdString();
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(ReadFile(target + QStringLiteral(".mismatch")), QByteArray("SECOND"));
    QFile::remove(target + QStringLiteral(".mismatch"));
}

// The window over SFTP, as korvane_protocol=sftp names it: an upload lands under its own name
// with the account's rights, registered with its digest, and the row downloads the same bytes.
TEST_P(FormTest, AnUploadAndItsDownloadGoOverSftp) {
    korvane::test::SshServer server;
    ASSERT_TRUE(server.Started()) << server.Error().toStdString();
    QTemporaryDir downloads;
    env->user = server.User();
    env->WriteConfig(server.Server(), server.Password(), server.Home(), QString(),
                     QStringLiteral("korvane_protocol=sftp\nkorvane_sftp_key=%1\n"
                                    "korvane_sftp_hostkey=%2\nkorvane_down_dir=%3")
                         .arg(server.ClientKey(), server.HostKeyFingerprint(), downloads.path()));
    Open();
    const QByteArray content = korvane::test::Pattern(300000, 7);
    Fill("92", 1, LocalFile(QStringLiteral("s.bin"), content), "");
    Send("btnFpt");
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("文件上传成功，数据保存成功！")});
    EXPECT_EQ(server.Read(QStringLiteral("92_s.bin")), content);
    EXPECT_EQ(QDir(server.Home()).entryList(QDir::Files), QStringList{QStringLiteral("92_s.bin")});
    {
        korvane::db::TADOQuery q(form->Connection());
        const auto recorded = korvane::db::FileRecord(q).Current(QStringLiteral("92_s.bin"));
        ASSERT_TRUE(recorded);
        EXPECT_EQ(recorded->size, content.size());
        EXPECT_EQ(recorded->sha256, korvane::test::ScriptedStore::Sha256(content));
    }

    Edit("edDownId")->setText(QStringLiteral("92"));
    W<QCheckBox>("chkDate")->setChecked(false);
    Click("btnQuery");
    ASSERT_EQ(List()->Count(), 1);
    List()->selectRow(0);
    dialogs.requests.clear();
    Send("btnDown");
    EXPECT_EQ(ReadFile(downloads.filePath(QStringLiteral("92_s.bin"))), content);

    // A key the site does not trust: nothing identifying the operator is sent, and the message
    // says what to compare.
    env->WriteConfig(server.Server(), server.Password(), server.Home(), QString(),
                     QStringLiteral("korvane_protocol=sftp\nkorvane_sftp_key=%1\n"
                                    "korvane_sftp_hostkey=SHA256:%2")
                         .arg(server.ClientKey(), QString(43, u'A')));
    dialogs.requests.clear();
    Fill("92", 1, LocalFile(QStringLiteral("t.bin"), "t"), "");
    Send("btnFpt");
    ASSERT_FALSE(dialogs.Texts().isEmpty());
    EXPECT_TRUE(StartsWith(
        dialogs.Texts()[0],
        QStringLiteral("远程服务器[%1]的主机密钥不在信任之列或已改变").arg(server.Server())))
        << dialogs.Texts()[0].toStdString();
    EXPECT_TRUE(Contains(dialogs.Texts()[0], server.HostKeyFingerprint()));
    EXPECT_FALSE(QFile::exists(server.PathOf(QStringLiteral("92_t.bin"))));
}

// Several files in one go: one question for the registered name among them, each its own row,
// one summary; a refused one costs only itself.
TEST_P(FormTest, SeveralFilesUploadAndDownloadInOneGo) {
    env->UseFtp();
    QTemporaryDir downloads;  // shards on other backends download the same names
    env->WriteConfig(QString(), QString(), QString(), QString(),
                     QStringLiteral("korvane_down_dir=") + downloads.path());
    Open();
    Fill("41", 1, LocalFile(QStringLiteral("a.txt"), "a-old"), "");
    Send("btnFpt");
    Edit("edDownId")->setText(QStringLiteral("41"));
    W<QCheckBox>("chkDate")->setChecked(false);
    Click("btnQuery");
    ASSERT_EQ(List()->Count(), 1);
    QTemporaryDir more;
    QStringList files;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        files << more.filePath(QString::fromLatin1(name));
        WriteFile(files.last(), QByteArray(name) + "-new");
    }
    Fill("41", 1, QString(), QString());
    dialogs.Queue(true, files.join(u'\n'));
    Click("btnOpenFile");
    EXPECT_EQ(Edit("edDownPath2")->text(), korvane::JoinPathList(files));
    dialogs.requests.clear();
    Click("btnFpt");
    Answer("replaceButton");
    AwaitTransfer();
    const QStringList texts = dialogs.Texts();
    ASSERT_EQ(texts.size(), 1) << texts.join(u'|').toStdString();
    EXPECT_TRUE(
        StartsWith(texts[0], QStringLiteral("已上传3个文件：41_a.txt（替换了原文件：5 B，")));
    EXPECT_TRUE(EndsWith(texts[0], QStringLiteral("上传）、41_b.txt、41_c.txt")));
    EXPECT_EQ(env->Registrations().size(), 4);
    EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("41_c.txt"))), QByteArray("c.txt-new"));
    EXPECT_EQ(Edit("edDownPath2")->text(), QString()) << "all saved: the inputs are cleared";
    ASSERT_EQ(List()->Count(), 4) << "the last search ran again";
    EXPECT_EQ(W<QGroupBox>("GroupBox3")->title(), QStringLiteral("列表（共 4 条）"));
    List()->sortByColumn(2, Qt::AscendingOrder);  // the files download in the list's order
    List()->selectAll();
    dialogs.requests.clear();
    Send("btnDown");
    // Rows of 41_a.txt registered in one second are one version and one file; a second apart,
    // the earlier row brings its own content as 41_a.v<N>.txt.
    QStringList saved = QDir(downloads.path()).entryList(QDir::Files);
    const QStringList earlier =
        saved.filter(QRegularExpression(QStringLiteral("^41_a\\.v\\d+\\.txt$")));
    for (const QString& name : earlier) {
        EXPECT_EQ(ReadFile(downloads.filePath(name)), "a-old");
        saved.removeAll(name);
    }
    EXPECT_LE(earlier.size(), 1);
    EXPECT_EQ(saved, QStringList({"41_a.txt", "41_b.txt", "41_c.txt"}));
    ASSERT_EQ(dialogs.Texts().size(), 1);
    EXPECT_TRUE(StartsWith(dialogs.Texts()[0], QStringLiteral("已下载%1个文件到[%2]：")
                                                   .arg(saved.size() + earlier.size())
                                                   .arg(downloads.path())))
        << dialogs.Texts()[0].toStdString();
    EXPECT_EQ(ReadFile(downloads.filePath(QStringLiteral("41_a.txt"))), "a.txt-new");
}

// Download ----------------------------------------------------------------------------------

TEST_P(FormTest, DownloadFetchesTheSelectedRowIntoTheProgramsDirectory) {
    env->UseFtp();
    Open();
    dialogs.requests.clear();
    Send("btnDown");
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].text, QStringLiteral("请选择要下载的记录!"));
    EXPECT_EQ(dialogs.requests[0].style, MB_NOICON);

    const QByteArray content = Pattern(120000, 41);
    // Shards on other backends download into the same directory at the same time.
    const QString remote = QStringLiteral("4242_download-test-%1.bin")
                               .arg(QLatin1String(korvane::test::BackendName(GetParam())));
    WriteFile(env->RemotePath(remote), content);
    env->Exec(QStringLiteral("insert into zy.res_download_path values(4242,1,'%1',501,sysdate,'')")
                  .arg(remote));
    env->Exec(QStringLiteral(
        "insert into zy.res_download_path values(4242,1,'../escape.bin',501,sysdate,'')"));
    Edit("edDownId")->setText(QStringLiteral("4242"));
    Click("btnQuery");
    ASSERT_EQ(List()->Count(), 2);
    const QString target = QCoreApplication::applicationDirPath() + u'/' + remote;
    QFile::remove(target);
    dialogs.requests.clear();
    List()->selectRow(0);
    Send("btnDown");
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].kind, telmaris::DialogKind::PlainMessage);
    EXPECT_EQ(dialogs.requests[0].text,
              QStringLiteral("下载成功！保存在[") + target + QStringLiteral("]，请查看！"));
    EXPECT_EQ(ReadFile(target), content);
    QFile::remove(target);

    dialogs.requests.clear();
    List()->selectRow(1);
    Send("btnDown");
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(Contains(dialogs.requests[0].text, QStringLiteral("无效")));
    EXPECT_FALSE(QFileInfo::exists(QCoreApplication::applicationDirPath() +
                                   QStringLiteral("/../escape.bin")));
}

TEST_P(FormTest, DownloadsGoToTheConfiguredFolderOrSayWhyNot) {
    env->UseFtp();
    const QString remote = QStringLiteral("5150_site.bin");
    WriteFile(env->RemotePath(remote), "site copy");
    env->Exec(QStringLiteral(
        "insert into zy.res_download_path values(5150,1,'5150_site.bin',501,sysdate,'')"));
    QTemporaryDir site;
    const QString folder = site.filePath(QStringLiteral("downloads/korvane"));
    env->WriteConfig(QString(), QString(), QString(), QString(),
                     QStringLiteral("korvane_down_dir=") + folder);
    Open();
    Edit("edDownId")->setText(QStringLiteral("5150"));
    Click("btnQuery");
    ASSERT_EQ(List()->Count(), 1);
    List()->selectRow(0);
    dialogs.requests.clear();
    Send("btnDown");
    const QString target = folder + u'/' + remote;
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("下载成功！保存在[") + target +
                                           QStringLiteral("]，请查看！")});
    EXPECT_EQ(ReadFile(target), QByteArray("site copy"));

    const QString blocked = site.filePath(QStringLiteral("a-file/sub"));
    WriteFile(site.filePath(QStringLiteral("a-file")), "x");
    env->WriteConfig(QString(), QString(), QString(), QString(),
                     QStringLiteral("korvane_down_dir=") + blocked);
    dialogs.requests.clear();
    Send("btnDown");
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(Contains(dialogs.requests[0].text, blocked)) << dialogs.Texts()[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(QCoreApplication::applicationDirPath() + u'/' + remote))
        << "nothing is written elsewhere";
}

// What the operator reads when a transfer fails, against real servers: what failed, the system's
// or the server's reason on the next line, and what to do. Only a refused password speaks of the
// user name and password; a broken transfer never quotes the server's preliminary reply.
class FailureWordsTest : public FormTest {};

TEST_P(FailureWordsTest, EachFailureSaysWhatFailedAndWhatToDo) {
    static const korvane::test::TestCertificate certificate;
    ASSERT_TRUE(certificate.Made()) << certificate.Error().toStdString();
    const korvane::test::TestCertificate stranger;
    ASSERT_TRUE(stranger.Made());
    const QString deadPort = QStringLiteral("127.0.0.1:%1").arg(korvane::test::FreePort());
    struct Case {
        const char* name;
        QStringList faults;
        QString ip;        // empty: the server's address
        QString password;  // null: the right one
        QString extra;     // further system parameters
        QString text;      // %1: the server's address
    };
    const QString stall = QStringLiteral("korvane_ftp_timeout=1");
    const QList<Case> cases = {
        {"refused connection",
         {},
         deadPort,
         QString(),
         QString(),
         QStringLiteral("远程FTP服务器[%1]拒绝连接：该地址的该端口上没有FTP服务，请检查系统参数"
                        "korvane_ip中的地址和端口，或请管理员启动FTP服务。\nConnection refused")},
        {"unknown host",
         {},
         QStringLiteral("no-such-host.invalid"),
         QString(),
         QString(),
         QStringLiteral("找不到远程FTP服务器[%1]：主机不可达，请检查系统参数korvane_ip中的地址和"
                        "网络连接。\n未知错误![%1]主机不可达，请检查IP地址是否正确。")},
        {"untrusted certificate",
         {QStringLiteral("--tls-cert"), certificate.PemFile()},
         QString(),
         QString(),
         QStringLiteral("korvane_ftp_tls=explicit\nkorvane_ftp_cafile=") + stranger.CertFile(),
         QStringLiteral(
             "不能与远程FTP服务器[%1]建立加密连接（TLS），请检查系统参数korvane_ftp_tls、"
             "korvane_ftp_cafile和korvane_ftp_fingerprint。\n"
             "certificate verify failed: self-signed certificate")},
        {"silent server",
         {QStringLiteral("--silent")},
         QString(),
         QString(),
         stall,
         QStringLiteral("远程FTP服务器[%1]没有及时应答（等待了1秒），请检查网络，或加大系统参数"
                        "korvane_ftp_timeout。\n等待服务器应答超时（1秒）")},
        {"wrong password",
         {},
         QString(),
         QStringLiteral("wrong"),
         QString(),
         QStringLiteral("不能登录远程FTP服务器，请确定正确的用户名及密码！\n"
                        "530 Authentication failed.")},
        {"data connection cut",
         {QStringLiteral("--drop-after"), QStringLiteral("1000")},
         QString(),
         QString(),
         QString(),
         QStringLiteral("下载文件[5_big.bin]时传输中断！\n"
                        "数据连接提前结束：已收到1000字节，文件共100000字节")},
        {"stalled data",
         {QStringLiteral("--stall-after"), QStringLiteral("1000")},
         QString(),
         QString(),
         stall,
         QStringLiteral("下载文件[5_big.bin]时传输中断！\n读取数据超时（1秒）")},
        {"active mode refused",
         {QStringLiteral("--no-active")},
         QString(),
         QString(),
         QStringLiteral("korvane_ftp_mode=active"),
         QStringLiteral("下载文件[5_big.bin]出错！\n550 Permission denied.\n"
                        "服务器没有建立主动模式的数据连接，请把系统参数korvane_ftp_mode设为passive"
                        "（或auto）后重试。")},
    };
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        env->UseFtp(c.faults);
        WriteFile(env->RemotePath(QStringLiteral("5_big.bin")), Pattern(100000, 5));
        const QString ip = c.ip.isEmpty() ? env->ftp->Server() : c.ip;
        env->WriteConfig(ip, c.password, QString(), QString(), c.extra);
        dialogs.requests.clear();
        EXPECT_FALSE(Transfer(2, QStringLiteral("5_big.bin"), local.filePath(QStringLiteral("b"))));
        ASSERT_EQ(dialogs.requests.size(), 1) << dialogs.Texts().join(u'|').toStdString();
        const QString expected = c.text.contains(u"%1") ? c.text.arg(ip) : c.text;
        EXPECT_EQ(dialogs.requests[0].text.toStdString(), expected.toStdString());
        QFile::remove(local.filePath(QStringLiteral("b")));
    }
}

// The window against a server with the site's faults, which every test of the fixture uses.
class SiteTest : public FormTest {
protected:
    bool UsesFtp() const override { return true; }
};

class PassiveOnlyTest : public SiteTest {
protected:
    QStringList Faults() const override { return {"--no-active"}; }
};

// The site's FTP settings reach the transfer: passive mode where PORT is refused, a clear
// message and nothing transferred for a value that is not one of the parameter's, and the
// control conversation in the korvane.ftp log without the password.
TEST_P(PassiveOnlyTest, SiteSettingsChooseHowTheServerIsReached) {
    Open();
    const QString file = LocalFile(QStringLiteral("nat.txt"), "behind NAT");
    env->WriteConfig(QString(), QString(), QString(), QString(),
                     QStringLiteral("korvane_ftp_mode=Passi"));
    EXPECT_FALSE(Transfer(1, QStringLiteral("9_nat.txt"), file));
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(Contains(dialogs.requests[0].text, QStringLiteral("korvane_ftp_mode")));
    EXPECT_FALSE(QFileInfo::exists(env->RemotePath(QStringLiteral("9_nat.txt"))));

    static QStringList logged;
    logged.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("korvane.ftp.debug=true"));
    const auto previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext& context, const QString& text) {
            if (QLatin1String(context.category) == QLatin1String("korvane.ftp")) {
                logged << text;
            }
        });
    env->WriteConfig(QString(), QString(), QString(), QString(),
                     QStringLiteral("korvane_ftp_mode=passive"));
    dialogs.requests.clear();
    const bool stored = Transfer(1, QStringLiteral("9_nat.txt"), file);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QStringLiteral("korvane.ftp.debug=false"));
    EXPECT_TRUE(stored) << dialogs.Texts().join(u'|').toStdString();
    EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("9_nat.txt"))), QByteArray("behind NAT"));
    EXPECT_TRUE(Contains(logged, QStringLiteral("--> PASS ****")));
    EXPECT_TRUE(Contains(logged, QStringLiteral("--> EPSV")));
    EXPECT_FALSE(Contains(logged.join(u'\n'), QStringLiteral("secret")));
    EXPECT_EQ(TemporaryFiles(), QStringList()) << "stored under a temporary name and renamed";
}

class ResumeTest : public SiteTest {
protected:
    QStringList Faults() const override {
        return {"--rest-reply", "plain", "--drop-after", "65536", "--drop-once"};
    }
};

// What broke off is only under "<name>.part", never under the name; the next download
// completes it (a continuation itself: ACancelledDownloadResumesWhenRepeated).
TEST_P(ResumeTest, AnInterruptedDownloadRepeatedResumes) {
    Open();
    const QByteArray content = Pattern(400000, 51);
    const QString remote = QStringLiteral("77_resume.bin");
    WriteFile(env->RemotePath(remote), content);
    const QString target = local.filePath(remote);
    EXPECT_FALSE(Transfer(2, remote, target));
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(QFileInfo(target + QStringLiteral(".part")).size(), 65536);
    dialogs.requests.clear();
    EXPECT_TRUE(Transfer(2, remote, target));
    EXPECT_TRUE(dialogs.requests.isEmpty());
    EXPECT_EQ(ReadFile(target), content);
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral(".part")));
}

// A site whose server requires TLS: a CA file that does not vouch for the server's certificate
// stops the upload with OpenSSL's reason and registers nothing; the site's own CA lets it through.
class TlsSiteTest : public SiteTest {
protected:
    static const korvane::test::TestCertificate& Certificate() {
        static const korvane::test::TestCertificate certificate;
        return certificate;
    }
    QStringList Faults() const override {
        return {QStringLiteral("--tls-cert"), Certificate().PemFile()};
    }
};

TEST_P(TlsSiteTest, OnlyATrustedServerGetsTheFile) {
    ASSERT_TRUE(Certificate().Made()) << Certificate().Error().toStdString();
    const korvane::test::TestCertificate stranger;
    ASSERT_TRUE(stranger.Made());
    Open();
    const QString file = LocalFile(QStringLiteral("secure.txt"), "over TLS");
    for (const auto* ca : {&stranger, &Certificate()}) {
        env->WriteConfig(
            QString(), QString(), QString(), QString(),
            QStringLiteral("korvane_ftp_tls=explicit\nkorvane_ftp_cafile=") + ca->CertFile());
        dialogs.requests.clear();
        Fill(QStringLiteral("77"), 1, file, QString());
        Send("btnFpt");
        if (ca == &stranger) {
            ASSERT_EQ(dialogs.requests.size(), 2);
            EXPECT_TRUE(
                Contains(dialogs.Texts()[0],
                         QStringLiteral("certificate verify failed: self-signed certificate")))
                << dialogs.Texts()[0].toStdString();
            EXPECT_EQ(dialogs.Texts()[1], QStringLiteral("文件上传失败！"));
            EXPECT_TRUE(env->Registrations().isEmpty());
            continue;
        }
        EXPECT_EQ(dialogs.Texts()[0], QStringLiteral("文件上传成功，数据保存成功！"));
        EXPECT_EQ(ReadFile(env->RemotePath(QStringLiteral("77_secure.txt"))), "over TLS");
        EXPECT_EQ(env->Registrations().size(), 1);
    }
}

// Long transfers --------------------------------------------------------------------------

// A server that moves 100 KB a second, so a 150 KB file takes one and a half.
class SlowServerTest : public SiteTest {
protected:
    QStringList Faults() const override {
        return {QStringLiteral("--slow-data"), "100000", "--rest-reply", "plain"};
    }
};

TEST_P(SlowServerTest, ALongTransferShowsItsProgressWhileTheWindowLives) {
    Open();
    // The server confirms an upload once it has read what the sockets' buffers hold.
    ftp::Timeouts patient = Quick();
    patient.replyMs = 10000;
    form->SetFtpTimeouts(patient);
    const QString file = LocalFile(QStringLiteral("slow.bin"), Pattern(150000, 5));
    {
        TransferWatch watch;
        Fill(QStringLiteral("88"), 1, file, QString());
        Send("btnFpt");
        EXPECT_GE(watch.ticks, 10) << "the GUI thread kept running";
        ASSERT_FALSE(watch.labels.isEmpty());
        EXPECT_TRUE(StartsWith(watch.labels.last(), QStringLiteral("正在上传 88_slow.bin\n")))
            << watch.labels.last().toStdString();
    }
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("文件上传成功，数据保存成功！")});
    EXPECT_EQ(env->Registrations().size(), 1);
    EXPECT_TRUE(form->isEnabled());
    // The upload went into the sockets' buffers at once; a download shows the server's pace.
    TransferWatch watch;
    const QString target = local.filePath(QStringLiteral("back.bin"));
    EXPECT_TRUE(Transfer(2, QStringLiteral("88_slow.bin"), target));
    ASSERT_GE(watch.values.size(), 4);
    EXPECT_GT(watch.values.last(), watch.values.first());
    EXPECT_LT(watch.values.first(), 500);
}

// A cancelled upload keeps what arrived under its temporary name, and the next upload of the
// file continues it where it can.
TEST_P(SlowServerTest, ACancelledUploadEndsWithinASecondAndRegistersNothing) {
    Open();
    const QByteArray content = Pattern(150000, 6);
    const QString file = LocalFile(QStringLiteral("slow.bin"), content);
    {
        TransferWatch watch(ClickCancel);
        Fill(QStringLiteral("89"), 1, file, QString());
        Send("btnFpt");
        ASSERT_TRUE(watch.Acted());
        // The cancel, the server's last word on the broken store (a second at most).
        EXPECT_LT(watch.clock.elapsed(), 2500);
    }
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral(
                                   "已取消上传，服务器上的文件未改变。\n已上传的部分保留在服务器"
                                   "上，再次上传该文件时从中断处继续。")});
    EXPECT_TRUE(env->Registrations().isEmpty());
    EXPECT_FALSE(QFile::exists(env->RemotePath(QStringLiteral("89_slow.bin"))));
    EXPECT_EQ(TemporaryFiles().size(), 1);

    dialogs.requests.clear();
    Send("btnFpt");
    // The paced server may still be writing what had arrived when the window stopped waiting
    // for its last word; a remote file that is still growing is not continued but sent again,
    // and the operator is told so.
    const QStringList said = dialogs.Texts();
    ASSERT_TRUE(said.size() == 1 || said.size() == 2) << said.join(u'|').toStdString();
    EXPECT_EQ(said[0], QStringLiteral("文件上传成功，数据保存成功！"));
    if (said.size() > 1) {
        EXPECT_TRUE(Contains(said[1], QStringLiteral("已从头重新上传"))) << said[1].toStdString();
    }
    EXPECT_TRUE(ReadFile(env->RemotePath(QStringLiteral("89_slow.bin"))) == content);
    EXPECT_EQ(TemporaryFiles(), QStringList());
}

TEST_P(SlowServerTest, ACancelledDownloadResumesWhenRepeated) {
    Open();
    const QByteArray content = Pattern(150000, 7);
    WriteFile(env->RemotePath(QStringLiteral("9_d.bin")), content);
    const QString target = local.filePath(QStringLiteral("9_d.bin"));
    {
        TransferWatch watch(ClickCancel, 500);  // more than the 64 KiB that a resume compares
        EXPECT_FALSE(Transfer(2, QStringLiteral("9_d.bin"), target));
        ASSERT_TRUE(watch.Acted());
        EXPECT_LT(watch.clock.elapsed(), 1000);
    }
    EXPECT_FALSE(QFileInfo::exists(target));
    const qint64 kept = QFileInfo(target + QStringLiteral(".part")).size();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, content.size());
    TransferWatch again;
    EXPECT_TRUE(Transfer(2, QStringLiteral("9_d.bin"), target));
    EXPECT_TRUE(ReadFile(target) == content);
    ASSERT_FALSE(again.labels.isEmpty());
    EXPECT_TRUE(Contains(again.labels.first(), QStringLiteral("续传")))
        << again.labels.first().toStdString();
}

// A server that stalls a transfer: paused from the transfers panel, the transfer stops, keeps
// its partial file, its claim and the window's wait; resumed, it goes on from what the other
// end holds over a new session (the stalled one no longer answers), or, where the server
// continues no store, starts again and the window says so. The record's digest is the file's.
class PauseTest : public SiteTest {};

TEST_P(PauseTest, APausedTransferGoesOnWhereItStopped) {
    Open();
    auto& jobs = telmaris::RunningJobs::Instance();
    telmaris::TransfersPanel panel;
    panel.show();
    const QByteArray content = Pattern(300000, 12);
    struct Row {
        const char* name;
        bool upload;
        const char* storeResume;  // the fixture's switch
        bool continued;
    };
    const Row rows[] = {
        {"upload", true, "any", true},
        {"upload to a server that continues no store", true, "none", false},
        {"download", false, "any", true},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        jobs.ClearEnded();
        dialogs.requests.clear();
        const QStringList plain{"--rest-reply", "plain", "--store-resume", row.storeResume};
        env->ftp->SetFaults(
            plain + QStringList{row.upload ? "--stall-store-after" : "--stall-after", "100000"});
        const QString file = QStringLiteral("p%1.bin").arg(++n);
        const QString remote = QStringLiteral("90_") + file;
        const QString path = LocalFile(file, content);
        if (row.upload) {
            Fill("90", 1, path, QString());
            Click("btnFpt");
        } else {
            WriteFile(env->RemotePath(remote), content);
            QFile::remove(path);
            ASSERT_TRUE(form->FtpTransfer(2, remote, path));
        }
        ASSERT_NE(form->RunningTransfer(), nullptr);
        const auto state = form->RunningTransfer()->State();
        ASSERT_TRUE(QTest::qWaitFor([&] { return state->done.load() >= 90000; }, 10000));
        panel.Table()->selectRow(0);
        QTest::mouseClick(korvane::test::Child<QPushButton>(&panel, "pauseTransfer"),
                          Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return jobs.Entries().value(0).paused; }, 5000));
        EXPECT_EQ(panel.Table()->item(0, telmaris::TransfersPanel::State)->text(),
                  QStringLiteral("已暂停"));
        EXPECT_TRUE(form->Transferring()) << "the window still waits for its transfer";
        EXPECT_EQ(TemporaryFiles().size(), row.upload ? 1 : 0);

        env->ftp->SetFaults(plain);
        QTest::mouseClick(korvane::test::Child<QPushButton>(&panel, "resumeTransfer"),
                          Qt::LeftButton);
        EXPECT_TRUE(AwaitTransfer()) << dialogs.Texts().join(u'|').toStdString();
        EXPECT_EQ(state->from.load() > 0, row.continued) << state->from.load();
        EXPECT_TRUE(ReadFile(row.upload ? env->RemotePath(remote) : path) == content);
        if (!row.upload) {
            continue;
        }
        EXPECT_EQ(TemporaryFiles(), QStringList());
        korvane::db::TADOQuery q(form->Connection());
        const auto stored = korvane::db::FileRecord(q).Current(remote);
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(stored->sha256,
                  QString::fromLatin1(
                      QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex()));
        const QStringList said = dialogs.Texts();
        ASSERT_EQ(said.size(), row.continued ? 1 : 2) << said.join(u'|').toStdString();
        if (!row.continued) {
            EXPECT_TRUE(Contains(said[1], QStringLiteral("已从头重新上传")))
                << said[1].toStdString();
        }
    }
}

// Closing asks first; a yes cancels the transfer and the window closes once it has ended. A
// window deleted outright mid-transfer leaves no worker behind.
TEST_P(SlowServerTest, ClosingDuringATransferCancelsItFirst) {
    Open();
    const int threads = ThreadCount();
    WriteFile(env->RemotePath(QStringLiteral("9_c.bin")), Pattern(150000, 8));
    const QString target = local.filePath(QStringLiteral("9_c.bin"));
    dialogs.Queue(true);
    const QPointer<TfrmBusinessMain> closed(form.get());
    {
        TransferWatch watch([this](QProgressDialog*) { form->close(); });
        EXPECT_FALSE(Transfer(2, QStringLiteral("9_c.bin"), target));
        ASSERT_TRUE(watch.Acted());
        EXPECT_LT(watch.clock.elapsed(), 2500) << "cancelled and cleaned up";
    }
    EXPECT_EQ(dialogs.Texts(),
              QStringList{QStringLiteral("正在传输文件，要取消传输并关闭窗口吗？")})
        << "the window that goes says nothing more";
    // The deletion the window asks for on closing.
    EXPECT_TRUE(QTest::qWaitFor([&closed] { return closed.isNull(); }, 5000))
        << "closed once the transfer ended";
    if (closed.isNull()) {
        (void)form.release();
    }

    QFile::remove(target);
    Open();
    TransferWatch watch([this](QProgressDialog*) { form.reset(); });
    EXPECT_TRUE(form->FtpTransfer(2, QStringLiteral("9_c.bin"), target));
    EXPECT_TRUE(QTest::qWaitFor([this] { return form == nullptr; }, 10000));
    EXPECT_EQ(ThreadCount(), threads) << "no worker is left";
}

// Every window path tells the truth -----------------------------------------------------------

// Holds the transfers at their store step until the test lets them go (within a bound), so the
// test acts on a window that transfers.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = true;

    void Set(bool value) {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            open = value;
        }
        opened.notify_all();
    }
    void Pass() {
        std::unique_lock<std::mutex> lock(mutex);
        opened.wait_for(lock, std::chrono::seconds(30), [this] { return open; });
    }
};

class GatedStore : public korvane::test::ScriptedStore {
public:
    GatedStore(std::shared_ptr<Folder> folder, std::shared_ptr<Gate> gate)
        : ScriptedStore(std::move(folder)), gate_(std::move(gate)) {}
    korvane::store::Result Put(const QString& local, const QString& remote,
                               korvane::store::StoredCopy* copy, uint64_t from) override {
        gate_->Pass();
        return ScriptedStore::Put(local, remote, copy, from);
    }
    korvane::store::Result Get(const QString& remote, const QString& local) override {
        gate_->Pass();
        return ScriptedStore::Get(remote, local);
    }

private:
    std::shared_ptr<Gate> gate_;
};

// The window on a scripted store and an SQLite database: a failure of any step is a row, and a
// transfer can be held while the operator's keys and mouse act on the window.
class TruthTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        env->WriteConfig(QString(), QString(), QString(), QString(),
                         QStringLiteral("korvane_down_dir=") + downloads.path());
        Open();
    }
    void BeforeShow() override {
        form->SetStoreFactory([folder = folder, gate = gate](const korvane::TransferRequest&) {
            return std::make_unique<GatedStore>(folder, gate);
        });
    }
    void MouseClick(const char* button) {
        QTest::mouseClick(W<QPushButton>(button), Qt::LeftButton);
    }
    // A registration of remote whose file is on the scripted server, listed by a search.
    void ListRegistered(const QString& id, const QString& remote) {
        folder->files[remote] = "on the server";
        env->Exec(
            QStringLiteral("insert into zy.res_download_path values(%1,1,'%2',501,sysdate,'')")
                .arg(id, remote));
        Edit("edDownId")->setText(id);
        W<QCheckBox>("chkDate")->setChecked(false);
        MouseClick("btnQuery");
        ASSERT_EQ(List()->Count(), 1);
    }
    // Uploads content as <id>_<name> through the window, then lists order id.
    void UploadAndList(const QString& id, const QString& name, const QByteArray& content) {
        Fill(id, 1, LocalFile(name, content), "");
        MouseClick("btnFpt");
        AwaitIdle();
        Edit("edDownId")->setText(id);
        W<QCheckBox>("chkDate")->setChecked(false);
        MouseClick("btnQuery");
    }
    void AwaitIdle() {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !form->Transferring(); }, 30000));
        QCoreApplication::processEvents();
    }
    QStringList Puts() {
        QStringList puts = folder->Calls().filter(QStringLiteral("Put "));
        return puts;
    }
    std::shared_ptr<korvane::test::ScriptedStore::Folder> folder =
        std::make_shared<korvane::test::ScriptedStore::Folder>();
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    QTemporaryDir downloads;
};

// What an upload of a host that died left announced is finished when a window opens next, with
// nothing asked of the operator.
TEST_P(TruthTest, WhatADeadHostLeftIsFinishedWhenAWindowOpens) {
    using korvane::db::IntentLog;
    korvane::db::Intent intent;
    intent.token = QStringLiteral("dead-host");
    intent.name = QStringLiteral("81_a.txt");
    intent.temp = QStringLiteral("81_a.txt.0badf00d.part");
    intent.opId = 501;
    intent.host = QStringLiteral("gone");
    {
        korvane::db::TADOQuery q(form->Connection());
        IntentLog(q).Announce(intent);
    }
    folder->files[intent.temp] = "half an upload";
    Open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !folder->Files().contains(intent.temp); }, 10000));
    korvane::db::TADOQuery q(form->Connection());
    EXPECT_TRUE(QTest::qWaitFor([&] { return IntentLog(q).Open().isEmpty(); }, 10000));
    EXPECT_TRUE(dialogs.Texts().isEmpty());
}

// The list's context menu opens the history of a row's file and of its order: the upload made
// through the window is there, as the operator who made it.
TEST_P(TruthTest, TheHistoryOfARowComesFromTheListsMenu) {
    UploadAndList(QStringLiteral("83"), QStringLiteral("h.txt"), "history");
    ASSERT_EQ(List()->Count(), 1);
    QWidget* viewport = List()->viewport();
    const QPoint cell = List()->visualRect(List()->model()->index(0, 2)).center();
    QContextMenuEvent ask(QContextMenuEvent::Mouse, cell, viewport->mapToGlobal(cell));
    QApplication::sendEvent(viewport, &ask);
    QMenu* menu = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (menu = form->findChild<QMenu*>("mnuList")); }, 5000));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    QDialog* history = nullptr;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (history = form->findChild<QDialog*>("dlgHistory")); }, 5000));
    const auto tables = history->findChildren<QTableWidget*>();
    ASSERT_EQ(tables.size(), 2);  // the file's and the order's
    for (QTableWidget* table : tables) {
        ASSERT_EQ(table->rowCount(), 1);
        EXPECT_EQ(table->item(0, 3)->text(), QStringLiteral("上传"));
        EXPECT_FALSE(table->item(0, 1)->text().isEmpty());
    }
}

// Stored directly, a registration that fails leaves the new file under its name: the operator
// is told so, never that the server kept its file.
TEST_P(FormTest, ADirectUploadThatIsNotRegisteredSaysTheFileWasReplaced) {
    env->UseFtp();
    env->db->RefuseInserts();
    env->WriteConfig(QString(), QString(), QString(), QString(),
                     QStringLiteral("korvane_ftp_upload=direct"));
    Open();
    WriteFile(env->RemotePath(QStringLiteral("56_keep.txt")), "the old content");
    Fill("56", 1, LocalFile(QStringLiteral("keep.txt"), "new"), "r");
    QTest::mouseClick(W<QPushButton>("btnFpt"), Qt::LeftButton);
    AwaitTransfer();
    ASSERT_EQ(ReadFile(env->RemotePath(QStringLiteral("56_keep.txt"))), QByteArray("new"));
    const QString said = dialogs.Texts().join(u'\n');
    EXPECT_FALSE(Contains(said, QStringLiteral("未改变")));
    EXPECT_TRUE(Contains(said, QStringLiteral("未登记")));
    EXPECT_TRUE(Contains(said, QStringLiteral("[56_keep.txt]已是新上传的文件")));
}

// A file stored but not put in place was not uploaded; a rename that got no answer is no
// server that refuses renames, so the advice to store directly (which can damage files) is
// never given for it.
TEST_P(TruthTest, AFailedPublishSaysTheUploadFailedAndATimeoutIsATimeout) {
    const QString advice = QStringLiteral(
        "服务器不允许改名(550 Rename not allowed.)，原文件保持不变。如该服务器不允许改名，"
        "请把系统参数korvane_ftp_upload设为direct。");
    struct Row {
        const char* name;
        korvane::store::Fault fault;
        QString reason;
        bool advised;  // the advice to store directly is shown
    };
    using korvane::store::Fault;
    const Row rows[] = {
        {"refused", Fault::Server, advice, true},
        {"timed out", Fault::Timeout, QStringLiteral("等待服务器应答超时（3秒）"), false},
        {"timed out, in a refusal's words", Fault::Timeout, advice, false},
        {"connection lost", Fault::Broken, advice, false},
    };
    const QString file = LocalFile(QStringLiteral("p.txt"), "publish me");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dialogs.requests.clear();
        folder->Fail(QStringLiteral("Rename"), row.fault, row.reason);
        Fill("61", 1, file, "");
        MouseClick("btnFpt");
        AwaitIdle();
        const QStringList texts = dialogs.Texts();
        ASSERT_EQ(texts.size(), 2) << texts.join(u'|').toStdString();
        EXPECT_EQ(texts[1], QStringLiteral("文件上传失败！"));
        EXPECT_EQ(texts[0].contains(QStringLiteral("direct")), row.advised)
            << texts[0].toStdString();
        if (row.fault == Fault::Timeout) {
            EXPECT_TRUE(Contains(texts[0], QStringLiteral("没有及时应答")));
        }
    }
    EXPECT_TRUE(env->Registrations().isEmpty());
}

// While an upload runs 下载 is disabled, and no other way starts a download: not a double-click
// on a row, not Enter in the list. The upload ends as the only transfer.
TEST_P(TruthTest, WhatIsDisabledCannotBeStartedAnotherWay) {
    ListRegistered(QStringLiteral("71"), QStringLiteral("71_listed.txt"));
    gate->Set(false);
    Fill("72", 1, LocalFile(QStringLiteral("up.txt"), "up"), "");
    MouseClick("btnFpt");
    ASSERT_TRUE(form->Transferring());
    ASSERT_FALSE(W<QPushButton>("btnDown")->isEnabled());
    const QPoint cell = List()->visualRect(List()->model()->index(0, 2)).center();
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, cell);
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Return);
    QTest::keyClick(List(), Qt::Key_Enter);
    gate->Set(true);
    AwaitIdle();
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("文件上传成功，数据保存成功！")});
    EXPECT_EQ(Edit("edDownId2")->text(), QString()) << "a saved upload clears its inputs";
    EXPECT_FALSE(QFile::exists(downloads.filePath(QStringLiteral("71_listed.txt"))));
    EXPECT_TRUE(folder->Calls().filter(QStringLiteral("Get ")).isEmpty());
}

// The transfers panel's retry runs in its window as the window's own buttons do: with the
// settings as they are now, with the window's controls waiting, leaving what the operator typed
// alone; once only, and not while the window transfers.
TEST_P(TruthTest, ARetryFromThePanelIsTheWindowsOwnTransfer) {
    auto& jobs = telmaris::RunningJobs::Instance();
    jobs.ClearEnded();
    ListRegistered(QStringLiteral("81"), QStringLiteral("81_back.txt"));
    const auto failDownload = [this] {
        folder->files.remove(QStringLiteral("81_back.txt"));
        QFile::remove(downloads.filePath(QStringLiteral("81_back.txt")));
        List()->selectRow(0);
        MouseClick("btnDown");
        AwaitIdle();
    };
    failDownload();
    Fill("80", 1, LocalFile(QStringLiteral("first.txt"), "first"), "");
    MouseClick("btnFpt");
    AwaitIdle();
    ASSERT_EQ(jobs.Entries().size(), 2);
    ASSERT_EQ(jobs.Entries()[0].state, telmaris::RunningJobs::State::Failed);

    folder->files[QStringLiteral("81_back.txt")] = "back again";
    env->WriteConfig(QStringLiteral("127.0.0.1:2"), QString(), QString(), QString(),
                     QStringLiteral("korvane_down_dir=") + downloads.path());
    Fill("82", 1, QStringLiteral("/typed/by/the/operator.txt"), "typed");
    telmaris::TransfersPanel panel;
    panel.show();
    auto* retry = korvane::test::Child<QPushButton>(&panel, "retryTransfer");
    gate->Set(false);
    panel.Table()->selectRow(0);
    QTest::mouseClick(retry, Qt::LeftButton);
    ASSERT_TRUE(form->Transferring());
    EXPECT_FALSE(W<QPushButton>("btnFpt")->isEnabled()) << "the window waits for its transfer";
    ASSERT_NE(form->RunningTransfer(), nullptr);
    EXPECT_EQ(form->RunningTransfer()->Request().settings.endpoint.server,
              QStringLiteral("127.0.0.1:2"))
        << "settings read anew";
    panel.Table()->selectRow(0);
    QTest::mouseClick(retry, Qt::LeftButton);
    gate->Set(true);
    AwaitIdle();
    EXPECT_EQ(jobs.Entries().size(), 2) << "the retry ran in the failed job's row, and a second "
                                           "click queued nothing more";
    EXPECT_EQ(jobs.Entries()[0].attempts, 2);
    EXPECT_EQ(ReadFile(downloads.filePath(QStringLiteral("81_back.txt"))), "back again");
    EXPECT_EQ(Edit("edDownId2")->text(), QStringLiteral("82")) << "the typed inputs stay";
    EXPECT_EQ(Edit("edRemark")->text(), QStringLiteral("typed"));
    EXPECT_TRUE(W<QPushButton>("btnFpt")->isEnabled());

    // A failed one retried while the window uploads: refused, and the operator is told why.
    failDownload();
    const int failed = static_cast<int>(jobs.Entries().size()) - 1;
    gate->Set(false);
    Fill("83", 1, LocalFile(QStringLiteral("busy.txt"), "busy"), "");
    MouseClick("btnFpt");
    dialogs.requests.clear();
    panel.Table()->selectRow(failed);
    QTest::mouseClick(retry, Qt::LeftButton);
    EXPECT_EQ(dialogs.requests.size(), 1) << "the panel says why nothing started";
    gate->Set(true);
    AwaitIdle();
    EXPECT_EQ(jobs.Entries().size(), failed + 2) << "only the upload ran";
}

// The box over the window with that object name, once it shows; null when none comes.
template <class Box>
Box* Shown(QWidget* window, const char* name, int waitMs = 5000) {
    Box* box = nullptr;
    const bool shown = QTest::qWaitFor(
        [&] {
            box = window->findChild<Box*>(QLatin1String(name));
            return box != nullptr && box->isVisible();
        },
        waitMs);
    return shown ? box : nullptr;
}

void ClickButton(QMessageBox* box, const QString& caption) {
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == caption) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    ADD_FAILURE() << "no button " << caption.toStdString();
}

// A download onto a local name that holds a file: an equal file is the download (nothing is
// fetched, the file is not touched); another file is asked about in one box over the window,
// and each answer, clicked, does what it says.
TEST_P(TruthTest, ALocalFileIsKeptUnlessTheOperatorSaysOtherwise) {
    const QByteArray registered = "the registered content";
    UploadAndList(QStringLiteral("74"), QStringLiteral("x.txt"), registered);
    ASSERT_EQ(List()->Count(), 1);
    List()->selectRow(0);
    const QString target = downloads.filePath(QStringLiteral("74_x.txt"));
    const QString beside = downloads.filePath(QStringLiteral("74_x (1).txt"));
    struct Row {
        const char* answer;  // null: no question
        QByteArray held;
        QByteArray there;     // under the name afterwards
        QByteArray besideIt;  // under "74_x (1).txt"; empty: nothing
        const char* said;     // the start of the message; null: none
    };
    const QByteArray mine = "THE OPERATOR'S OWN TXT";  // the registered size, another content
    const Row rows[] = {
        {nullptr, registered, registered, {}, "本地已有与登记相同的文件["},
        {"替换", mine, registered, {}, "下载成功！保存在["},
        {"保留两者", mine, mine, registered, "下载成功！保存在["},
        {"取消", mine, mine, {}, nullptr},
        // Shorter: perhaps a copy broken off, continued; not its beginning, so kept as well.
        {nullptr, "mine", "mine", registered, "下载成功！保存在["},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.held.constData());
        QFile::remove(beside);
        WriteFile(target, row.held);
        const QDateTime old = QDateTime::currentDateTime().addDays(-3);
        {
            QFile file(target);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.setFileTime(old, QFileDevice::FileModificationTime);
        }
        const qsizetype gets = folder->Calls().filter(QStringLiteral("Get ")).size();
        dialogs.requests.clear();
        MouseClick("btnDown");
        QMessageBox* question = Shown<QMessageBox>(form.get(), "LocalConflictQuestion",
                                                   row.answer == nullptr ? 0 : 5000);
        ASSERT_EQ(question != nullptr, row.answer != nullptr);
        if (question != nullptr) {
            EXPECT_TRUE(question->property("telmarisWindowBox").toBool())
                << "one of the window's own boxes";
            EXPECT_TRUE(Contains(question->text(), QStringLiteral("[74_x.txt]（22 B，")))
                << question->text().toStdString();
            ClickButton(question, QString::fromUtf8(row.answer));
        }
        AwaitIdle();
        EXPECT_EQ(ReadFile(target), row.there);
        EXPECT_EQ(QFile::exists(beside), !row.besideIt.isEmpty());
        if (!row.besideIt.isEmpty()) {
            EXPECT_EQ(ReadFile(beside), row.besideIt);
        }
        const bool fetched = row.there != row.held || !row.besideIt.isEmpty();
        EXPECT_EQ(folder->Calls().filter(QStringLiteral("Get ")).size(), gets + (fetched ? 1 : 0));
        if (row.there == row.held) {
            EXPECT_EQ(QFileInfo(target).lastModified(), old) << "not touched";
        }
        ASSERT_EQ(dialogs.requests.size(), row.said == nullptr ? 0 : 1);
        if (row.said != nullptr) {
            EXPECT_TRUE(StartsWith(dialogs.Texts()[0], QString::fromUtf8(row.said)));
            EXPECT_EQ(dialogs.requests[0].buttons,
                      (QStringList{QStringLiteral("打开"), QStringLiteral("打开所在文件夹")}));
        }
        EXPECT_TRUE(QDir(downloads.path()).entryList({QStringLiteral("*.part")}).isEmpty());
    }
}

// A row whose file a later upload replaced fetches its own earlier content, saved under a name
// that says which version; the message says so.
TEST_P(TruthTest, AnEarlierRowFetchesItsOwnVersion) {
    Fill("78", 1, LocalFile(QStringLiteral("v.txt"), "first"), "first");
    MouseClick("btnFpt");
    AwaitIdle();
    Fill("78", 1, LocalFile(QStringLiteral("v.txt"), "second"), "second");
    MouseClick("btnFpt");
    Answer("replaceButton");
    AwaitIdle();
    // The first upload a year earlier: its row and the version it made.
    env->Exec(
        QStringLiteral("update zy.res_download_path set create_date='2020-01-01 00:00:00' "
                       "where remark='first'"));
    env->Exec(QStringLiteral(
        "update zy.res_download_version set since='2020-01-01 00:00:00' where version_no=1"));
    Edit("edDownId")->setText(QStringLiteral("78"));
    W<QCheckBox>("chkDate")->setChecked(false);
    MouseClick("btnQuery");
    ASSERT_EQ(List()->Count(), 2);
    List()->selectRow(1);  // newest first: the earlier row
    dialogs.requests.clear();
    MouseClick("btnDown");
    AwaitIdle();
    const QString earlier = downloads.filePath(QStringLiteral("78_v.v1.txt"));
    EXPECT_EQ(ReadFile(earlier), QByteArray("first"));
    ASSERT_EQ(dialogs.Texts().size(), 1);
    EXPECT_TRUE(Contains(dialogs.Texts()[0], QStringLiteral("（第1版），文件名为[78_v.v1.txt]")))
        << dialogs.Texts()[0].toStdString();
    EXPECT_TRUE(folder->Calls().contains(QStringLiteral("Get 78_v.txt.~1~")));
    List()->selectAll();
    dialogs.requests.clear();
    MouseClick("btnDown");
    AwaitIdle();
    EXPECT_EQ(ReadFile(downloads.filePath(QStringLiteral("78_v.txt"))), QByteArray("second"));
    EXPECT_EQ(dialogs.Texts(),
              QStringList{QStringLiteral("已下载1个文件到[%1]：78_v.txt\n"
                                         "1个文件已在[%1]中，与登记的相同，未重新下载：78_v.v1.txt")
                              .arg(downloads.path())});
}

// Records the addresses the desktop was asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened << url; }
};

// 另存为… from the list's menu saves one row's file under the name typed in a file dialog over
// the window; the message's 打开所在文件夹 hands its folder to the desktop.
TEST_P(TruthTest, OneDownloadIsSavedAsChosenAndItsFolderOpened) {
    ListRegistered(QStringLiteral("76"), QStringLiteral("76_y.txt"));
    List()->selectRow(0);
    const QPoint cell = List()->visualRect(List()->model()->index(0, 2)).center();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, cell,
                                List()->viewport()->mapToGlobal(cell));
    QCoreApplication::sendEvent(List()->viewport(), &menuEvent);
    QMenu* menu = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&menu] {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu != nullptr;
    }));
    QAction* saveAs = nullptr;
    for (QAction* action : menu->actions()) {
        saveAs = action->text() == QStringLiteral("另存为…") ? action : saveAs;
    }
    ASSERT_NE(saveAs, nullptr);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(saveAs).center());
    auto* dialog = Shown<QFileDialog>(form.get(), "SaveAsDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("76_y.txt"));
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("chosen.txt"));
    UrlCatcher desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "Open");
    dialogs.QueueButton(1);  // 打开所在文件夹
    QTest::keyClick(name, Qt::Key_Return);
    AwaitIdle();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    const QString saved = downloads.filePath(QStringLiteral("chosen.txt"));
    EXPECT_EQ(ReadFile(saved), QByteArray("on the server"));
    EXPECT_EQ(dialogs.Texts(),
              QStringList{QStringLiteral("下载成功！保存在[%1]，请查看！").arg(saved)});
    EXPECT_EQ(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(downloads.path())});
    EXPECT_FALSE(QFile::exists(downloads.filePath(QStringLiteral("76_y.txt"))));
}

// Drags the files onto the widget under pos as the window system delivers a drop: to the first
// widget from there up that takes drops.
void DropFiles(QWidget* at, const QList<QUrl>& urls, const QString& text = QString()) {
    QMimeData data;
    data.setUrls(urls);
    if (!text.isEmpty()) {
        data.setText(text);
    }
    QPoint pos = at->rect().center();
    while (at->parentWidget() != nullptr && !at->acceptDrops()) {
        pos = at->mapToParent(pos);
        at = at->parentWidget();
    }
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(at, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(at, &move);
    QDropEvent drop(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(at, &drop);
}

// Files dropped on the window, on its boxes too, are the files to upload: never addresses
// spliced into a box's text.
TEST_P(TruthTest, ADropAnywhereTakesTheDroppedFiles) {
    const QString spaced = LocalFile(QStringLiteral("a b.txt"), "a b");
    const QString other = LocalFile(QStringLiteral("c.txt"), "c");
    for (const char* target : {"edDownPath2", "edRemark", "lvList"}) {
        SCOPED_TRACE(target);
        Edit("edDownPath2")->setText(QStringLiteral("/old/text.txt"));
        Edit("edRemark")->setText(QStringLiteral("remark"));
        QWidget* w = W<QWidget>(target);
        DropFiles(qobject_cast<QAbstractItemView*>(w) ? List()->viewport() : w,
                  {QUrl::fromLocalFile(spaced), QUrl::fromLocalFile(other)},
                  QUrl::fromLocalFile(spaced).toString(QUrl::FullyEncoded));
        EXPECT_EQ(Edit("edDownPath2")->text(), korvane::JoinPathList({spaced, other}));
        EXPECT_EQ(Edit("edRemark")->text(), QStringLiteral("remark"));
    }
}

// What the database or the box would refuse or change is said before anything is sent.
TEST_P(TruthTest, InputsAreJudgedBeforeTheTransfer) {
    const QString file = LocalFile(QStringLiteral("t.txt"), "trimmed");
    const QString blank = LocalFile(QStringLiteral("t.txt "), "with a blank");
    struct Row {
        const char* name;
        QString path;
        QByteArray pasted;  // into the remark
        const char* said;   // part of the one message; the file is not sent
    };
    const Row rows[] = {
        {"a NUL in the remark", file, QByteArray("a\0b", 3), "空字符"},
        {"a trailing blank names another file", blank, QByteArray(), "t.txt "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dialogs.requests.clear();
        Fill("91", 1, QString(), QString());
        Edit("edDownPath2")->setFocus();
        QTest::keyClicks(Edit("edDownPath2"), row.path);
        Edit("edRemark")->setFocus();
        QGuiApplication::clipboard()->setText(QString::fromUtf8(row.pasted));
        QTest::keyClick(Edit("edRemark"), Qt::Key_V, Qt::ControlModifier);
        MouseClick("btnFpt");
        AwaitIdle();
        ASSERT_EQ(dialogs.Texts().size(), 1) << dialogs.Texts().join(u'|').toStdString();
        EXPECT_TRUE(Contains(dialogs.Texts()[0], QString::fromUtf8(row.said)));
        EXPECT_EQ(Puts(), QStringList()) << "nothing was sent";
    }

    // A name that is not UTF-8 is still the file it names.
    const QByteArray raw = QFile::encodeName(local.path()) + "/\xb0\xa1-gbk.txt";
    FILE* out = std::fopen(raw.constData(), "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("gbk named", out);
    std::fclose(out);
    DropFiles(Edit("edDownPath2"), {QUrl::fromEncoded("file://" + raw.toPercentEncoding("/"))});
    Edit("edRemark")->clear();
    dialogs.requests.clear();
    MouseClick("btnFpt");
    AwaitIdle();
    EXPECT_EQ(dialogs.Texts(), QStringList{QStringLiteral("文件上传成功，数据保存成功！")});
    EXPECT_TRUE(folder->Files().values().contains(QByteArray("gbk named")));

    // A paste longer than the box takes is cut, and the operator is told.
    QToolTip::hideText();
    Edit("edRemark")->setFocus();
    QGuiApplication::clipboard()->setText(QString(korvane::kMaxRemarkLength + 5, u'x'));
    QTest::keyClick(Edit("edRemark"), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Edit("edRemark")->text().size(), korvane::kMaxRemarkLength);
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 3000));
    EXPECT_TRUE(Contains(QToolTip::text(), QString::number(korvane::kMaxRemarkLength)));
}

// After a transfer the focus is where the operator left it, not on 退出, where the next Space
// would close the window.
TEST_P(TruthTest, TheFocusStaysWhereTheOperatorWas) {
    gate->Set(false);
    Fill("95", 1, LocalFile(QStringLiteral("f.txt"), "focus"), "");
    W<QPushButton>("btnFpt")->setFocus();
    QTest::keyClick(W<QPushButton>("btnFpt"), Qt::Key_Space);
    ASSERT_TRUE(form->Transferring());
    gate->Set(true);
    AwaitIdle();
    EXPECT_EQ(QApplication::focusWidget(), W<QWidget>("btnFpt"))
        << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString()
                                        : std::string("none"));
}

// TLS where the server offers it: a session the server kept plain is told in the window once
// while it lives, not only on the standard error.
TEST_P(FormTest, AnUnencryptedSessionIsToldOncePerWindow) {
    env->UseFtp();
    QTemporaryDir downloadsHere;
    env->WriteConfig(
        QString(), QString(), QString(), QString(),
        QStringLiteral("korvane_ftp_tls=auto\nkorvane_down_dir=") + downloadsHere.path());
    WriteFile(env->RemotePath(QStringLiteral("97_plain.txt")), "plain");
    env->Exec(QStringLiteral(
        "insert into zy.res_download_path values(97,1,'97_plain.txt',501,sysdate,'')"));
    Open();
    Edit("edDownId")->setText(QStringLiteral("97"));
    W<QCheckBox>("chkDate")->setChecked(false);
    Click("btnQuery");
    ASSERT_EQ(List()->Count(), 1);
    List()->selectRow(0);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        // Unrecorded, a copy there would be asked about: each round downloads afresh.
        QFile::remove(downloadsHere.filePath(QStringLiteral("97_plain.txt")));
        dialogs.requests.clear();
        QTest::mouseClick(W<QPushButton>("btnDown"), Qt::LeftButton);
        AwaitTransfer();
        const QStringList texts = dialogs.Texts();
        ASSERT_FALSE(texts.isEmpty());
        EXPECT_TRUE(StartsWith(texts[0], QStringLiteral("下载成功！")));
        EXPECT_EQ(texts.filter(QStringLiteral("不加密")).size(), round == 0 ? 1 : 0)
            << texts.join(u'|').toStdString();
    }
}

// A window lists the operator's transfers of earlier sessions in the host's panel, newest
// first: not another operator's, not this session's own, and once however many windows open; a
// database without the history opens as before, with nothing to say.
TEST_P(FormTest, TheOperatorsEarlierSessionsAreListedOnce) {
    auto& jobs = telmaris::RunningJobs::Instance();
    jobs.ClearEnded();
    struct Case {
        int op;
        const char* event;
        const char* result;
        const char* direction;  // null: not listed
        const char* state;
    };
    const Case cases[] = {
        {501, "upload", "", "上传", "完成"},   {501, "replace failed", "连接超时", "替换", "失败"},
        {501, "download", "", "下载", "完成"}, {501, "mismatch", "大小不符", "下载", "失败"},
        {502, "upload", "", nullptr, nullptr},  // another operator's
        {501, "upload", "", nullptr, nullptr},  // this session's
    };
    const QDateTime yesterday = QDateTime::currentDateTime().addDays(-1);
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const QDateTime at = i + 1 < int(std::size(cases)) ? yesterday.addSecs(60 * i)
                                                           : QDateTime::currentDateTime();
        env->Exec(QStringLiteral("insert into zy.res_download_history(event_at,op_id,host,down_id,"
                                 "file_name,version_no,bytes,event,result) "
                                 "values('%1',%2,'pc','7','7_%3.txt',1,2048,'%4','%5')")
                      .arg(at.toOffsetFromUtc(at.offsetFromUtc()).toString(Qt::ISODate))
                      .arg(cases[i].op)
                      .arg(i)
                      .arg(QLatin1String(cases[i].event), QString::fromUtf8(cases[i].result)));
    }
    Open();
    telmaris::TransfersPanel panel;
    panel.show();
    QTableWidget* t = panel.Table();
    using C = telmaris::TransfersPanel::Column;
    int row = 0;
    for (int i = int(std::size(cases)) - 1; i >= 0; --i) {
        const Case& c = cases[i];
        if (c.direction == nullptr) {
            continue;
        }
        ASSERT_LT(row, t->rowCount());
        const QString result = QString::fromUtf8(c.result);
        EXPECT_EQ(t->item(row, C::File)->text(), QStringLiteral("7_%1.txt").arg(i));
        EXPECT_EQ(t->item(row, C::Direction)->text(), QString::fromUtf8(c.direction));
        EXPECT_EQ(t->item(row, C::State)->text(), QString::fromUtf8(c.state));
        EXPECT_EQ(t->item(row, C::Result)->text(),
                  result.isEmpty() ? QStringLiteral("成功") : result);
        EXPECT_EQ(t->item(row, C::Progress)->text(), QStringLiteral("2.0 KiB"));
        ++row;
    }
    EXPECT_EQ(t->rowCount(), row);
    Open();
    EXPECT_EQ(t->rowCount(), row) << "a second window lists nothing again";

    jobs.ClearEnded();
    env->Exec(QStringLiteral("drop table zy.res_download_history"));
    Open();
    EXPECT_EQ(t->rowCount(), 0);
    EXPECT_TRUE(dialogs.Texts().isEmpty()) << dialogs.Texts().join(u'|').toStdString();
    jobs.ClearEnded();
}

const auto kBackends = ::testing::Values(
    korvane::db::Backend::SQLite, korvane::db::Backend::PostgreSQL, korvane::db::Backend::Odbc);
INSTANTIATE_TEST_SUITE_P(On, FormTest, kBackends, korvane::test::BackendTestName);
INSTANTIATE_TEST_SUITE_P(On, SearchTest, kBackends, korvane::test::BackendTestName);
INSTANTIATE_TEST_SUITE_P(On, ResumeTest, ::testing::Values(korvane::db::Backend::SQLite),
                         korvane::test::BackendTestName);
INSTANTIATE_TEST_SUITE_P(On, SlowServerTest, ::testing::Values(korvane::db::Backend::SQLite),
                         korvane::test::BackendTestName);
INSTANTIATE_TEST_SUITE_P(On, PauseTest, ::testing::Values(korvane::db::Backend::SQLite),
                         korvane::test::BackendTestName);
INSTANTIATE_TEST_SUITE_P(On, TlsSiteTest, ::testing::Values(korvane::db::Backend::SQLite),
                         korvane::test::BackendTestName);
INSTANTIATE_TEST_SUITE_P(On, FailureWordsTest, ::testing::Values(korvane::db::Backend::SQLite),
                         korvane::test::BackendTestName);
INSTANTIATE_TEST_SUITE_P(On, TruthTest, ::testing::Values(korvane::db::Backend::SQLite),
                         korvane::test::BackendTestName);
INSTANTIATE_TEST_SUITE_P(On, PassiveOnlyTest, ::testing::Values(korvane::db::Backend::SQLite),
                         korvane::test::BackendTestName);

}  // namespace

// The preview beside the list: Space on a row shows it, the arrow keys move it along with the
// selection, PageDown turns a page, Space hides it again; whether it shows is remembered for the
// next window.
TEST_P(FormTest, SpaceShowsThePreviewAndItFollowsTheSelection) {
    env->UseFtp();
    QTemporaryDir state;
    const QByteArray stateBefore = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", state.path().toUtf8());
    qputenv("XDG_CACHE_HOME", state.filePath(QStringLiteral("cache")).toUtf8());
    qputenv("KORVANE_PREVIEW_RENDER",
            QByteArray(KORVANE_BINARY_DIR "/host/app/korvane-preview-render"));
    const struct Restore {
        QByteArray before;
        ~Restore() {
            qputenv("XDG_STATE_HOME", before);
            qunsetenv("XDG_CACHE_HOME");
        }
    } restore{stateBefore};
    Open();
    const QString remote = QStringLiteral("4343_contract-%1.pdf")
                               .arg(QLatin1String(korvane::test::BackendName(GetParam())));
    Fill(QStringLiteral("4343"), 1, LocalFile(remote.mid(5), korvane::test::MakePdf(3)), QString());
    Send("btnFpt");
    Fill(QStringLiteral("4343"), 1,
         LocalFile(
             QStringLiteral("id-%1.png").arg(QLatin1String(korvane::test::BackendName(GetParam()))),
             korvane::test::WriteImage(korvane::test::ScanPage(1), "png")),
         QString());
    Send("btnFpt");
    Edit("edDownId")->setText(QStringLiteral("4343"));
    Click("btnQuery");
    ASSERT_EQ(List()->Count(), 2);
    auto* pane = form->findChild<korvane::PreviewPane*>(QStringLiteral("pnlPreview"));
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->isHidden());
    const auto settled = [pane](const std::function<bool()>& done) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < 20000) {
            QSignalSpy(pane, &korvane::PreviewPane::shown).wait(200);
        }
        return done();
    };
    const int pdfRow = List()->ItemText(0, 2) == remote ? 0 : 1;
    List()->setFocus();
    List()->selectRow(pdfRow);
    QTest::keyClick(List(), Qt::Key_Space);
    EXPECT_TRUE(pane->isVisible());
    ASSERT_TRUE(settled([pane] { return pane->Pages() == 3; })) << pane->Message().toStdString();
    QTest::keyClick(List(), Qt::Key_PageDown);
    EXPECT_TRUE(settled([pane] { return pane->Page() == 1; }));
    QTest::keyClick(List(), pdfRow == 0 ? Qt::Key_Down : Qt::Key_Up);
    EXPECT_TRUE(settled([pane] {
        return pane->Pages() == 1 && pane->Current() == korvane::PreviewPane::State::Page;
    }));
    EXPECT_EQ(dialogs.Texts().filter(QStringLiteral("预览")), QStringList());
    QTest::keyClick(List(), Qt::Key_Space);
    EXPECT_TRUE(pane->isHidden());
    QTest::keyClick(List(), Qt::Key_Space);
    form.reset();
    Open();
    EXPECT_FALSE(form->findChild<korvane::PreviewPane*>(QStringLiteral("pnlPreview"))->isHidden());
}
#include "business_form_test.moc"
