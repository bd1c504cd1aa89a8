// The module as the host sees it: the built libkorvane.so, loaded and called through its exports.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include "GuiServices.h"
#include "HostControls.h"
#include "HostMainWindow.h"
#include "HostWindow.h"
#include "InterfaceText.h"
#include "ModuleLoader.h"
#include "SessionInfo.h"
#include "TfrmBusinessMain.h"
#include "support/DialogRecorder.h"
#include "support/KorvaneEnvironment.h"
#include "support/TextChecks.h"

using korvane::test::Contains;
using korvane::test::DialogRecorder;
using korvane::test::EndsWith;
using korvane::test::KorvaneEnvironment;
using korvane::test::StartsWith;

namespace {

const QString kModule = QStringLiteral(KORVANE_BINARY_DIR "/ModuleTemplate/libkorvane.so");

class ModuleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        handle = dlopen(QFile::encodeName(kModule).constData(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
    }
    template <class F>
    static F Symbol(const char* name) {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
    static inline void* handle = nullptr;
};

using GetModuleIdFn = int32_t (*)(int32_t);
using QueryCvsIntfFn = int32_t (*)(int32_t, char*);
using CreateFn = QWidget* (*)(int32_t, SessionInfo*);

TEST_F(ModuleTest, ModuleIdTable) {
    auto getModuleId = Symbol<GetModuleIdFn>("GetModuleId");
    ASSERT_NE(getModuleId, nullptr);
    EXPECT_EQ(getModuleId(-100), 1);
    EXPECT_EQ(getModuleId(-1), 1);
    EXPECT_EQ(getModuleId(0), 10001);
    EXPECT_EQ(getModuleId(1), -1);
    EXPECT_EQ(getModuleId(2), -1);
}

TEST_F(ModuleTest, InterfaceTextIsEmpty) {
    auto query = Symbol<QueryCvsIntfFn>("QueryCvsIntf");
    ASSERT_NE(query, nullptr);
    EXPECT_EQ(query(0, nullptr), -1);
    for (int32_t first : {0, -1, 12345}) {
        char buffer[2048];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(query(first, buffer), 0);
        EXPECT_EQ(buffer[0], '\0');
        EXPECT_EQ(buffer[1], 'x') << "only the text and its zero byte are written";
    }
}

TEST(InterfaceText, BlanksAreTrimmedAtBothEnds) {
    char area[korvane::kInterfaceTextSize] = {};
    std::memcpy(area, "  abc  ", 7);
    EXPECT_EQ(korvane::TrimInterfaceText(area, sizeof area), "abc");
    std::memcpy(area, "       ", 7);
    EXPECT_EQ(korvane::TrimInterfaceText(area, sizeof area), "");
    std::memcpy(area, "\ta b\t ", 6);
    EXPECT_EQ(korvane::TrimInterfaceText(area, sizeof area), "\ta b\t") << "spaces only";
    std::memset(area, 'y', sizeof area);
    EXPECT_EQ(korvane::TrimInterfaceText(area, sizeof area).size(), 2047u);
}

TEST_F(ModuleTest, OnlyTheContractIsExported) {
    EXPECT_NE(dlsym(handle, "CreateBusinessForm"), nullptr);
    EXPECT_NE(dlsym(handle, "frmBusinessMain"), nullptr);
    EXPECT_NE(dlsym(handle, "_ZN16TcustomcontrolXP8RegisterEv"), nullptr);
    EXPECT_NE(dlsym(handle, "_ZN16TCustomControlXPC1EP7QWidget"), nullptr);
    EXPECT_NE(dlsym(handle, "_ZN12TfrmMDIChild14OnEditKeyPressEP7QObjectRc"), nullptr);
    EXPECT_EQ(dlsym(handle, "_ZN16TfrmBusinessMain6RunSQLERK7QString"), nullptr);
    EXPECT_EQ(dlsym(handle, "_ZN7korvane6RunSQLERNS_2db9TADOQueryERK7QString"), nullptr);
    EXPECT_EQ(*Symbol<void**>("frmBusinessMain"), nullptr);
}

TEST_F(ModuleTest, PaletteRegistration) {
    auto reg = Symbol<void (*)()>("_ZN16TcustomcontrolXP8RegisterEv");
    reg();
    const auto classes = telmaris::RegisteredComponents(QStringLiteral("TELMARIS"));
    ASSERT_EQ(classes.size(), 1);
    EXPECT_STREQ(classes[0]->className(), "TCustomControlXP");
    EXPECT_GE(classes[0]->indexOfProperty("PopupMenu"), 0);
}

TEST(ModuleDiscovery, NamedModulesFirstElseEveryModuleInTheFolder) {
    QTemporaryDir dir;
    for (const char* name : {"libb.so", "liba.so", "notes.txt", "libc.so.1"}) {
        QFile(dir.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    }
    const QStringList found{dir.filePath(QStringLiteral("liba.so")),
                            dir.filePath(QStringLiteral("libb.so"))};
    EXPECT_EQ(telmaris::ChooseModules({}, {}, dir.path()), found);
    EXPECT_EQ(telmaris::ChooseModules({QStringLiteral("/x/arg.so")}, {}, dir.path()),
              QStringList{QStringLiteral("/x/arg.so")});
    EXPECT_EQ(telmaris::ChooseModules({}, {QStringLiteral("/x/ini.so")}, dir.path()),
              QStringList{QStringLiteral("/x/ini.so")});
    EXPECT_TRUE(telmaris::ChooseModules({}, {}, dir.filePath(QStringLiteral("none"))).isEmpty());
}

TEST(ModuleFile, CarriesTheFourIdentTexts) {
    QFile f(kModule);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    for (const char* keyword : {"Author", "Date", "Name", "Revision"}) {
        const QByteArray marker = QByteArray("@(#) $") + keyword + ": ";
        const qsizetype at = bytes.indexOf(marker);
        ASSERT_GE(at, 0) << keyword;
        const qsizetype end = bytes.indexOf('\0', at);
        EXPECT_TRUE(EndsWith(bytes.mid(at, end - at), " $"))
            << bytes.mid(at, end - at).toStdString();
    }
}

// Creating forms ----------------------------------------------------------------------------

class CreateFormTest : public ModuleTest {
protected:
    void SetUp() override { env = KorvaneEnvironment::Create(korvane::db::Backend::SQLite); }
    std::unique_ptr<KorvaneEnvironment> env;
    DialogRecorder dialogs;
};

TEST_F(CreateFormTest, NullSessionCreatesNothing) {
    auto create = Symbol<CreateFn>("CreateBusinessForm");
    const auto before = QApplication::topLevelWidgets().size();
    EXPECT_EQ(create(0, nullptr), nullptr);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
    EXPECT_TRUE(dialogs.requests.isEmpty());
}

TEST_F(CreateFormTest, EachCallMakesAnIndependentForm) {
    auto create = Symbol<CreateFn>("CreateBusinessForm");
    SessionInfo session;
    session.OperatorId = 502;
    session.SessionText = "session text";
    session.Trailing1 = 0x12345678;
    session.Trailing2 = 0x0001ABCD;
    session.Trailing3 = 0x7FFF0002;
    QWidget* a = create(7, &session);
    QWidget* b = create(7, &session);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    // Same class, same header: read the members through the test's own view of the type.
    auto* fa = static_cast<TfrmBusinessMain*>(a);
    auto* fb = static_cast<TfrmBusinessMain*>(b);
    EXPECT_EQ(fa->Number(), 1021);
    EXPECT_EQ(fa->OperatorId(), 502);
    EXPECT_EQ(fa->FirstValue(), 0x12345678);
    EXPECT_EQ(fa->SecondValue(), 0xABCD) << "cut to 16 bits";
    EXPECT_EQ(fa->ThirdValue(), 0x0002);
    EXPECT_EQ(fa->SessionText(), QStringLiteral("session text"));
    EXPECT_NE(&fa->Connection(), &fb->Connection());
    ASSERT_NE(fa->CodeTable(), nullptr);
    EXPECT_NE(fa->CodeTable(), fb->CodeTable());
    EXPECT_FALSE(IsWaitBoxShown());
    EXPECT_TRUE(dialogs.requests.isEmpty());
    a->show();
    b->show();
    EXPECT_TRUE(fa->Connection().Connected());
    EXPECT_TRUE(fb->Connection().Connected());
    delete a;
    delete b;
}

TEST_F(CreateFormTest, InitFailureStillReturnsTheForm) {
    telmaris::SetHostConfigPath(QStringLiteral("/nonexistent/host.ini"));
    SessionInfo session;
    session.OperatorId = 501;
    QWidget* form = Symbol<CreateFn>("CreateBusinessForm")(0, &session);
    telmaris::SetHostConfigPath(env->config.Path());
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].text, QStringLiteral("系统管理服务初始化失败."));
    EXPECT_TRUE(dialogs.requests[0].waitBoxShown);
    EXPECT_FALSE(IsWaitBoxShown());
    EXPECT_EQ(static_cast<TfrmBusinessMain*>(form)->CodeTable(), nullptr);
    delete form;
}

// A host that hands over no operator gets no window: the message names the key and the file,
// and the window closes when it would open, before it reads the database.
TEST_F(CreateFormTest, WithoutAnOperatorTheWindowDoesNotOpen) {
    SessionInfo session;
    QPointer<QWidget> form = Symbol<CreateFn>("CreateBusinessForm")(0, &session);
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(Contains(dialogs.requests[0].text, QStringLiteral("OperatorId")));
    EXPECT_TRUE(Contains(dialogs.requests[0].text, env->config.Path()));
    form->show();
    EXPECT_FALSE(static_cast<TfrmBusinessMain*>(form.data())->Connection().Connected());
    EXPECT_TRUE(QTest::qWaitFor([&form] { return form.isNull() || !form->isVisible(); }, 5000));
    delete form.data();
}

// The host application ----------------------------------------------------------------------

TEST_F(CreateFormTest, HostLoadsTheModuleAndOpensItsWindowInTheMdiArea) {
    SessionInfo session;
    session.OperatorId = 501;
    {
        telmaris::HostMainWindow host(session);
        host.show();
        ASSERT_TRUE(host.AddModule(kModule));
        QWidget* form = host.OpenWindow(0);
        ASSERT_NE(form, nullptr);
        ASSERT_EQ(host.MdiArea()->subWindowList().size(), 1);
        EXPECT_TRUE(host.MdiArea()->subWindowList()[0]->isMaximized());
        EXPECT_EQ(form->windowTitle(), QStringLiteral("号码管理之文件上传"));
        // The package's icon on the frame and on the menu bar of the maximised window.
        const QImage icon = telmaris::HostIcon().pixmap(16).toImage();
        EXPECT_FALSE(icon.isNull());
        EXPECT_EQ(host.windowIcon().pixmap(16).toImage(), icon);
        EXPECT_EQ(host.MdiArea()->subWindowList()[0]->windowIcon().pixmap(16).toImage(), icon);
        // The display name TELMARIS follows the title: the title does not say it again.
        EXPECT_TRUE(host.windowTitle().startsWith(QStringLiteral("号码管理")));
        EXPECT_FALSE(Contains(host.windowTitle(), QStringLiteral("TELMARIS")));
        EXPECT_NE(host.OpenWindow(0), nullptr);
        EXPECT_EQ(host.MdiArea()->subWindowList().size(), 2) << "the menu opens another window";
        EXPECT_TRUE(dialogs.requests.isEmpty());
    }
    EXPECT_EQ(telmaris::HostMdiArea(), nullptr);
}

TEST_F(CreateFormTest, HostNamesTheFileAndTheMissingExport) {
    telmaris::HostMainWindow host(SessionInfo{});
    EXPECT_FALSE(host.AddModule(QStringLiteral("/nonexistent/libnothing.so")));
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(Contains(dialogs.requests[0].text, QStringLiteral("/nonexistent/libnothing.so")));
    dialogs.requests.clear();
    // The host library is a real library without the entry points.
    const QString hostLib = QStringLiteral(KORVANE_BINARY_DIR "/host/libtelmaris_host.so");
    EXPECT_FALSE(host.AddModule(hostLib));
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(Contains(dialogs.requests[0].text, hostLib));
    EXPECT_TRUE(Contains(dialogs.requests[0].text, QStringLiteral("QueryCvsIntf")));
    EXPECT_EQ(host.ModuleCount(), 0u);
}

}  // namespace
