#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <QCalendarWidget>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "BaseData.h"
#include "BusinessCommon.h"
#include "GuiServices.h"
#include "HostConfig.h"
#include "HostControls.h"
#include "RunningJobs.h"
#include "SysMgnt.h"
#include "TrimBlanks.h"
#include "support/DialogRecorder.h"
#include "support/TempConfig.h"
#include "support/TextChecks.h"

using korvane::test::Contains;
using korvane::test::DialogRecorder;
using korvane::test::EndsWith;
using korvane::test::StartsWith;
using korvane::test::TempConfig;

namespace {

const QByteArray kConfig =
    "; telmaris host\n"
    "[SysPara]\n"
    "korvane_conn = Provider=SQLite;Data Source=/tmp/x.db\n"
    "korvane_ip=127.0.0.1:2121\n"
    "korvane_pwd=\n"
    "[CodeTable285]\n"
    "501=张三\n"
    "7=Li Si\n"
    "abc=skipped\n"
    "-3=负数\n"
    "501=second 501\n"
    "[CodeTable9]\n"
    "1=other table\n";

TEST(SysMgnt, ReadsParametersAfterInitAndRereadsTheFile) {
    TempConfig config(kConfig);
    CSysMgntPublic sys;
    int s1 = 0, s2 = 0;
    QString value = QStringLiteral("untouched");
    EXPECT_FALSE(sys.GetSysParaMaxValue(s1, s2, QStringLiteral("korvane_ip"), value))
        << "before Init the service answers nothing";
    EXPECT_EQ(value, QStringLiteral("untouched"));

    ASSERT_TRUE(sys.Init(0, 0, 0, 0, 501));
    ASSERT_TRUE(sys.GetSysParaMaxValue(s1, s2, QStringLiteral("korvane_conn"), value));
    EXPECT_EQ(value, QStringLiteral("Provider=SQLite;Data Source=/tmp/x.db"));
    ASSERT_TRUE(sys.GetSysParaMaxValue(s1, s2, QStringLiteral("KORVANE_PWD"), value));
    EXPECT_EQ(value, QString());
    value = QStringLiteral("kept");
    EXPECT_FALSE(sys.GetSysParaMaxValue(s1, s2, QStringLiteral("korvane_user"), value));
    EXPECT_EQ(value, QStringLiteral("kept"));

    config.Write("[SysPara]\nkorvane_ip=10.0.0.9\n");
    ASSERT_TRUE(sys.GetSysParaMaxValue(s1, s2, QStringLiteral("korvane_ip"), value));
    EXPECT_EQ(value, QStringLiteral("10.0.0.9")) << "a changed parameter takes effect at once";
}

TEST(SysMgnt, QuotedValuesKeepTheirBlanksAndUnquotedOnesAreTrimmed) {
    TempConfig config(
        "[SysPara]\n"
        "korvane_pwd=\" secret \"\n"
        "korvane_user=  op  \n"
        "korvane_path=\"\"\n"
        "korvane_ip=\"half\n");
    CSysMgntPublic sys;
    ASSERT_TRUE(sys.Init(0, 0, 0, 0, 501));
    int s1 = 0, s2 = 0;
    const std::pair<const char*, const char*> rows[] = {
        {"korvane_pwd", " secret "},
        {"korvane_user", "op"},
        {"korvane_path", ""},
        {"korvane_ip", "\"half"},  // one quote alone is part of the value
    };
    for (const auto& [name, expected] : rows) {
        QString value;
        ASSERT_TRUE(sys.GetSysParaMaxValue(s1, s2, QString::fromLatin1(name), value)) << name;
        EXPECT_EQ(value, QString::fromUtf8(expected)) << name;
    }
}

TEST(SysMgnt, InitFailsWithoutReadableConfiguration) {
    telmaris::SetHostConfigPath(QStringLiteral("/nonexistent/telmaris/host.ini"));
    CSysMgntPublic sys;
    EXPECT_FALSE(sys.Init(0, 0, 0, 0, 1));
    TCNameCodeInfoList list;
    EXPECT_FALSE(GetCodeCNameTable(285, list, nullptr));
    EXPECT_TRUE(list.empty());
    telmaris::SetHostConfigPath(QString());
}

TEST(HostConfig, PathComesFromOptionThenEnvironmentThenXdg) {
    qputenv("TELMARIS_HOST_CONFIG", "/from/env.ini");
    EXPECT_EQ(telmaris::HostConfigPath(), QStringLiteral("/from/env.ini"));
    telmaris::SetHostConfigPath(QStringLiteral("/from/option.ini"));
    EXPECT_EQ(telmaris::HostConfigPath(), QStringLiteral("/from/option.ini"));
    telmaris::SetHostConfigPath(QString());
    qunsetenv("TELMARIS_HOST_CONFIG");
    qputenv("XDG_CONFIG_HOME", "/xdg");
    qputenv("XDG_CONFIG_DIRS", "/nonexistent/xdg");  // not this machine's /etc/xdg
    EXPECT_EQ(telmaris::HostConfigPath(), QStringLiteral("/xdg/telmaris/host.ini"));
    // The machine's file serves when the operator has none; the operator's own overrides it.
    QTemporaryDir dirs;
    const QString home = dirs.filePath(QStringLiteral("home"));
    const QString site = dirs.filePath(QStringLiteral("etc-xdg"));
    qputenv("XDG_CONFIG_HOME", home.toUtf8());
    qputenv("XDG_CONFIG_DIRS", (dirs.filePath(QStringLiteral("none")) + u':' + site).toUtf8());
    QDir().mkpath(site + QStringLiteral("/telmaris"));
    QFile(site + QStringLiteral("/telmaris/host.ini")).open(QIODevice::WriteOnly);
    EXPECT_EQ(telmaris::HostConfigPath(), site + QStringLiteral("/telmaris/host.ini"));
    QDir().mkpath(home + QStringLiteral("/telmaris"));
    QFile(home + QStringLiteral("/telmaris/host.ini")).open(QIODevice::WriteOnly);
    EXPECT_EQ(telmaris::HostConfigPath(), home + QStringLiteral("/telmaris/host.ini"));
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CONFIG_DIRS");
}

TEST(HostConfig, AReadablePasswordFileGetsAWarningNamingTheFix) {
    TempConfig config("");
    // Root's files are the machine's: as root, the table's file is an operator's (nobody's).
    const auto ownedByOperator = [&config] {
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(QFile::encodeName(config.Path()).constData(), 65534, 65534), 0);
        }
    };
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto all = owner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    struct Row {
        const char* content;
        QFileDevice::Permissions perms;
        const char* advice;  // null: no warning
    };
    const Row rows[] = {
        {"[SysPara]\nkorvane_pwd=secret\n", owner, nullptr},
        {"[SysPara]\nkorvane_pwd=secret\n", owner | QFileDevice::ReadGroup, "chmod 600 "},
        {"[SysPara]\nkorvane_pwd=secret\n", owner | QFileDevice::ReadOther, "chmod 600 "},
        {"[SysPara]\nkorvane_conn=Provider=PostgreSQL;Data Source=h/db;User ID=u;Password=pw\n",
         all, "chmod 600 "},
        {"[SysPara]\nkorvane_conn=Provider=MSDASQL;DSN=x; pwd = pw\n", all, "chmod 600 "},
        {"[SysPara]\nkorvane_conn=Provider=PostgreSQL;Data Source=h/db;Password=\n", all, nullptr},
        {"[SysPara]\nkorvane_user=op\n", all, nullptr},
    };
    for (const Row& row : rows) {
        config.Write(row.content);
        QFile::setPermissions(config.Path(), row.perms);
        ownedByOperator();
        telmaris::IniFile ini;
        ASSERT_TRUE(ini.Load(config.Path()));
        const QString warning = telmaris::PasswordExposureWarning(config.Path(), ini);
        EXPECT_EQ(!warning.isEmpty(), row.advice != nullptr) << row.content << int(row.perms);
        if (row.advice) {
            EXPECT_TRUE(Contains(warning, QString::fromUtf8(row.advice) + config.Path()))
                << warning.toStdString();
        }
    }
    // A machine-wide file (root's) is for the group telmaris, not for its owner alone, also
    // when root runs the program: chmod 600 would lock every operator out.
    if (::geteuid() == 0) {
        config.Write("[SysPara]\nkorvane_pwd=secret\n");
        QFile::setPermissions(config.Path(), all);
        ASSERT_EQ(::chown(QFile::encodeName(config.Path()).constData(), 0, 0), 0);
        telmaris::IniFile ini;
        ASSERT_TRUE(ini.Load(config.Path()));
        EXPECT_TRUE(
            Contains(telmaris::PasswordExposureWarning(config.Path(), ini),
                     QStringLiteral("chgrp telmaris %1 && chmod 640 %1").arg(config.Path())));
    }
}

// The machine's file and an operator's own in XDG folders of a temporary directory.
class LayeredConfig : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dirs_.isValid());
        machine_ = dirs_.filePath(QStringLiteral("etc-xdg/telmaris/host.ini"));
        own_ = dirs_.filePath(QStringLiteral("home/telmaris/host.ini"));
        QDir().mkpath(QFileInfo(machine_).path());
        QDir().mkpath(QFileInfo(own_).path());
        qputenv("XDG_CONFIG_HOME", dirs_.filePath(QStringLiteral("home")).toUtf8());
        qputenv("XDG_CONFIG_DIRS", dirs_.filePath(QStringLiteral("etc-xdg")).toUtf8());
    }
    void TearDown() override {
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_CONFIG_DIRS");
    }
    static void Write(const QString& path, const QByteArray& content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    QTemporaryDir dirs_;
    QString machine_;
    QString own_;
};

TEST_F(LayeredConfig, TheOperatorsFileOverridesTheMachinesKeyByKey) {
    Write(machine_,
          "[SysPara]\n"
          "korvane_conn=Provider=SQLite;Data Source=/srv/korvane.db\n"
          "korvane_ip=ftp.site:21\n"
          "korvane_path=/orders\n"
          "[CodeTable285]\n"
          "501=张三\n"
          "502=李四\n");
    Write(own_,
          "[sysPara]\n"
          "KORVANE_IP=10.0.0.9\n"
          "korvane_path=\n"
          "this line says nothing\n"
          "[CodeTable285]\n"
          "501=王五\n");
    EXPECT_EQ(telmaris::HostConfigFiles(), (QStringList{machine_, own_}));
    CSysMgntPublic sys;
    ASSERT_TRUE(sys.Init(0, 0, 0, 0, 501));
    int s1 = 0, s2 = 0;
    const std::pair<const char*, const char*> rows[] = {
        {"korvane_conn", "Provider=SQLite;Data Source=/srv/korvane.db"},  // the machine's
        {"korvane_ip", "10.0.0.9"},                                       // the operator's
        {"korvane_path", ""},  // an empty value overrides too
    };
    for (const auto& [name, expected] : rows) {
        QString value;
        ASSERT_TRUE(sys.GetSysParaMaxValue(s1, s2, QString::fromLatin1(name), value)) << name;
        EXPECT_EQ(value, QString::fromUtf8(expected)) << name;
    }
    TCNameCodeInfoList list;
    ASSERT_TRUE(GetCodeCNameTable(285, list, nullptr));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].GetCode(), 502);
    EXPECT_EQ(list[1].GetName(), "王五");

    telmaris::IniFile ini;
    ASSERT_TRUE(telmaris::LoadHostConfig(ini));
    EXPECT_EQ(ini.Origin(QStringLiteral("SysPara"), QStringLiteral("korvane_ip")),
              own_ + QStringLiteral(":2"));
    EXPECT_EQ(ini.Origin(QStringLiteral("SysPara"), QStringLiteral("korvane_conn")),
              machine_ + QStringLiteral(":2"));
    ASSERT_EQ(ini.Problems().size(), 1);
    EXPECT_TRUE(StartsWith(ini.Problems()[0], own_ + QStringLiteral(":4: ")));

    // --config (or $TELMARIS_HOST_CONFIG) is the whole configuration.
    telmaris::SetHostConfigPath(machine_);
    EXPECT_EQ(telmaris::HostConfigFiles(), QStringList{machine_});
    telmaris::SetHostConfigPath(QString());
}

TEST_F(LayeredConfig, AnUnreadableMachineFileIsNamedInABoxAboveTheWaitBox) {
    Write(own_, "[SysPara]\nkorvane_ip=10.0.0.9\n");
    // Unreadable: a folder in the file's place, and for anyone but root no read permission.
    struct Row {
        const char* name;
        bool directory;
    };
    std::vector<Row> rows{{"a folder", true}};
    if (::geteuid() != 0) {
        rows.push_back({"mode 000", false});
    }
    for (const Row& row : rows) {
        QFile::remove(machine_);
        QDir().rmdir(machine_);
        if (row.directory) {
            ASSERT_TRUE(QDir().mkpath(machine_));
        } else {
            Write(machine_, "[SysPara]\nkorvane_pwd=secret\n");
            QFile::setPermissions(machine_, {});
        }
        ASSERT_EQ(telmaris::HostConfigFiles(), (QStringList{machine_, own_})) << row.name;
        CSysMgntPublic sys;
        EXPECT_FALSE(sys.Init(0, 0, 0, 0, 501)) << row.name;

        DialogRecorder dialogs;
        bool waitBoxUnderTheBox = true;
        telmaris::SetDialogHook([&](const telmaris::DialogRequest& r) {
            dialogs.requests.append(r);
            waitBoxUnderTheBox = IsWaitBoxShown();
            return telmaris::DialogAnswer{};
        });
        ShowWaitBox(QStringLiteral("正在获取基础数据，请稍后..."));
        telmaris::IniFile ini;
        EXPECT_FALSE(telmaris::CheckHostConfig(ini)) << row.name;
        ASSERT_EQ(dialogs.requests.size(), 1) << row.name;
        EXPECT_EQ(dialogs.requests[0].style, MB_ICONERROR);
        EXPECT_TRUE(Contains(dialogs.requests[0].text, machine_)) << row.name;
        EXPECT_TRUE(dialogs.requests[0].waitBoxShown) << "asked while the wait box was up";
        EXPECT_FALSE(waitBoxUnderTheBox) << row.name << ": the wait box is hidden first";
        EXPECT_TRUE(IsWaitBoxShown()) << "and shown again once the box is answered";
        CloseWaitBox();
        QFile::setPermissions(machine_, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
}

struct ProgramRun {
    int status = -1;
    QString output;  // standard output and error
};

ProgramRun RunProgram(const QString& program, const QStringList& args, const QString& lang) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), lang);
    env.insert(QStringLiteral("LC_ALL"), lang);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TZ"), QStringLiteral("CST-8"));  // times show their offset
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    ProgramRun run;
    if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit) {
        run.status = p.exitCode();
    } else {
        p.kill();
        p.waitForFinished();
    }
    run.output = QString::fromUtf8(p.readAll());
    return run;
}

bool HasChinese(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3000; });
}

// telmaris-host and korvane-dbtool read one configuration the same way: the machine's file and
// the operator's key by key, or the --config file alone, and refuse what is no configuration
// (a device, a FIFO, a folder, a file too large) at once, naming the file. The tool speaks the
// locale's language (English here) and names the files where korvane_conn belongs.
TEST_F(LayeredConfig, HostAndDbtoolReadTheSameLayersAndRefuseWhatIsNoConfiguration) {
    const QString fifo = dirs_.filePath(QStringLiteral("fifo.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString big = dirs_.filePath(QStringLiteral("big.ini"));
    Write(big, QByteArray(telmaris::IniFile::kMaxBytes + 1, ';'));
    const QByteArray machineConn =
        "[SysPara]\nkorvane_conn=Provider=SQLite;Data Source=/none/m.db\n";
    struct Row {
        const char* name;
        QByteArray machine;
        QByteArray own;
        QString config;        // --config
        QStringList expected;  // in the host's value or error and in the tool's output
        bool loads;            // the host finds korvane_conn
    };
    const Row rows[] = {
        {"the machine's connection",
         machineConn,
         "[SysPara]\nkorvane_user=op\n",
         {},
         {QStringLiteral("/none/m.db")},
         true},
        {"the operator's overrides",
         machineConn,
         "[SysPara]\nkorvane_conn=Provider=SQLite;Data Source=/none/o.db\n",
         {},
         {QStringLiteral("/none/o.db")},
         true},
        {"no connection anywhere",
         "[SysPara]\nkorvane_ip=x\n",
         "[Session]\nOperatorId=501\n",
         {},
         {QStringLiteral("korvane_conn"), machine_, own_},
         false},
        {"--config alone",
         machineConn,
         "[SysPara]\nkorvane_conn=Provider=SQLite;Data Source=/none/o.db\n",
         machine_,
         {QStringLiteral("/none/m.db")},
         true},
        {"a device",
         machineConn,
         {},
         QStringLiteral("/dev/zero"),
         {QStringLiteral("/dev/zero")},
         false},
        {"a FIFO", machineConn, {}, fifo, {fifo}, false},
        {"a folder", machineConn, {}, dirs_.path(), {dirs_.path()}, false},
        {"too large", machineConn, {}, big, {big}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Write(machine_, row.machine);
        Write(own_, row.own);
        telmaris::IniFile ini;
        QString error;
        const bool loaded =
            telmaris::ReadConfiguration(ini, row.config, {QStringLiteral("korvane_conn")}, &error);
        EXPECT_EQ(loaded, row.loads) << error.toStdString();
        const QString seen =
            loaded ? ini.Value(QStringLiteral("SysPara"), QStringLiteral("korvane_conn")).value()
                   : error;
        QStringList args{QStringLiteral("--check")};
        if (!row.config.isEmpty()) {
            args << QStringLiteral("--config") << row.config;
        }
        const ProgramRun tool =
            RunProgram(QStringLiteral(KORVANE_DBTOOL_PROGRAM), args, QStringLiteral("C.UTF-8"));
        EXPECT_EQ(tool.status, 2) << "the check could not be made: " << tool.output.toStdString();
        for (const QString& text : row.expected) {
            EXPECT_TRUE(Contains(seen, text))
                << seen.toStdString() << " lacks " << text.toStdString();
            EXPECT_TRUE(Contains(tool.output, text)) << tool.output.toStdString();
        }
        EXPECT_FALSE(HasChinese(tool.output)) << tool.output.toStdString();
    }
}

// No session without an operator: a missing, zero, non-numeric or too large id refuses, naming
// where to set it; --operator replaces the file's id.
TEST_F(LayeredConfig, TheSessionsOperatorComesFromTheOptionOrTheFileAndIsNeverZero) {
    using Opt = std::optional<QString>;
    struct Row {
        Opt option;
        const char* own;  // the operator's file
        int32_t id;       // 0: refused
        QString named;    // in the refusal
    };
    const QString key = QStringLiteral("OperatorId");
    const Row rows[] = {
        {{}, "[Session]\nOperatorId=501\n", 501, {}},
        {{}, "[Session]\nOperatorId= -7 \n", -7, {}},
        {QStringLiteral("502"), "[Session]\nOperatorId=0\n", 502, {}},
        {{}, "[SysPara]\nkorvane_ip=x\n", 0, own_},
        {{}, "[Session]\nOperatorId=\n", 0, own_},
        {{}, "[Session]\nOperatorId=0\n", 0, own_ + QStringLiteral(":2")},
        {{}, "[Session]\nOperatorId=abc\n", 0, own_ + QStringLiteral(":2")},
        {{}, "[Session]\nOperatorId=99999999999\n", 0, own_ + QStringLiteral(":2")},
        {QStringLiteral("abc"), "[Session]\nOperatorId=501\n", 0, QStringLiteral("--operator abc")},
        {QStringLiteral("0"), "[Session]\nOperatorId=501\n", 0, QStringLiteral("--operator 0")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.own) + " option " + row.option.value_or("-").toStdString());
        Write(own_, row.own);
        telmaris::IniFile ini;
        ASSERT_TRUE(telmaris::LoadHostConfig(ini));
        QString error;
        const auto id = telmaris::SessionOperator(row.option, ini, &error);
        EXPECT_EQ(id.value_or(0), row.id);
        if (row.id == 0) {
            EXPECT_TRUE(Contains(error, row.named)) << error.toStdString();
            EXPECT_TRUE(Contains(error, row.option ? QStringLiteral("--operator") : key))
                << error.toStdString();
        }
    }
}

// Each transfer's end reaches the site's log: the journal's socket or syslog's, each heard in a
// private mount namespace of the probe's own; the transfer log's time carries its UTC offset.
TEST(SiteLog, ATransfersEndReachesTheJournalOrSyslog) {
    const QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("transfers.log"));
    const std::pair<const char*, const char*> sinks[] = {
        {"journal", "SYSLOG_IDENTIFIER=site_log_probe\nQT_CATEGORY=korvane.transfer\n"},
        {"syslog", "site_log_probe["},
    };
    for (const auto& [sink, marks] : sinks) {
        SCOPED_TRACE(sink);
        const ProgramRun probe = RunProgram(
            QStringLiteral(SITE_LOG_PROBE),
            {QString::fromLatin1(sink), log, QStringLiteral("7731")}, QStringLiteral("C.UTF-8"));
        if (probe.status == 77) {
            GTEST_SKIP() << "no private mount namespace here (needs root): "
                         << probe.output.toStdString();
        }
        ASSERT_EQ(probe.status, 0) << probe.output.toStdString();
        for (const QString& mark : QString::fromLatin1(marks).split(u'\n', Qt::SkipEmptyParts)) {
            EXPECT_TRUE(Contains(probe.output, mark)) << probe.output.toStdString();
        }
        EXPECT_TRUE(Contains(probe.output,
                             QStringLiteral("upload order 7731 file 7731_probe.txt operator 501 "
                                            "bytes 4096 succeeded")))
            << probe.output.toStdString();
    }
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString line = QString::fromUtf8(file.readLine());
    static const QRegularExpression iso(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\+08:00\\t501\\t"
                       "upload\\t7731\\t"));
    EXPECT_TRUE(iso.match(line).hasMatch()) << line.toStdString();
}

// On a machine whose journal runs, the event is read back from it.
TEST(SiteLog, ATransfersEndIsInTheMachinesJournal) {
    if (!QFileInfo::exists(QStringLiteral("/run/systemd/journal/socket")) ||
        QStandardPaths::findExecutable(QStringLiteral("journalctl")).isEmpty()) {
        GTEST_SKIP() << "no systemd journal on this machine; the private one is tested above";
    }
    const QTemporaryDir dir;
    const QString order = QString::number(QDateTime::currentMSecsSinceEpoch());
    ASSERT_EQ(RunProgram(QStringLiteral(SITE_LOG_PROBE),
                         {QStringLiteral("machine"), dir.filePath(QStringLiteral("t.log")), order},
                         QStringLiteral("C.UTF-8"))
                  .status,
              0);
    QString found;
    (void)QTest::qWaitFor(
        [&] {
            found =
                RunProgram(QStringLiteral("journalctl"),
                           {QStringLiteral("--no-pager"), QStringLiteral("-o"),
                            QStringLiteral("cat"), QStringLiteral("QT_CATEGORY=korvane.transfer"),
                            QStringLiteral("SYSLOG_IDENTIFIER=site_log_probe")},
                           QStringLiteral("C.UTF-8"))
                    .output;
            return Contains(found, QStringLiteral("order ") + order);
        },
        10000);
    EXPECT_TRUE(Contains(found, QStringLiteral("order ") + order)) << found.toStdString();
}

// Ctrl+C copies the selected rows in list order as tab-separated lines, Tab is not the list's.
TEST(ListView, CopiesTheSelectedRowsAndLeavesTabToTheForm) {
    TListViewEx list;
    list.SetColumns({QStringLiteral("a|40"), QStringLiteral("b")});
    for (const char* row : {"1", "2", "3"}) {
        list.AddSubItem(list.AddItem(QString::fromLatin1(row)), QStringLiteral("x\u5f20") + row);
    }
    list.selectRow(2);
    list.selectionModel()->select(list.model()->index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1\tx\u5f201\n3\tx\u5f203\n"));
    EXPECT_FALSE(list.tabKeyNavigation());
}

TEST(BaseData, CodeTableKeepsFileOrderAndSkipsNonNumbers) {
    TempConfig config(kConfig);
    TCNameCodeInfoList list;
    int32_t loaded = -1;
    ASSERT_TRUE(GetCodeCNameTable(285, list, &loaded));
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(loaded, 4);
    EXPECT_EQ(list[0].GetCode(), 501);
    EXPECT_EQ(list[0].GetName(), "张三");
    EXPECT_EQ(list[1].GetCode(), 7);
    EXPECT_EQ(list[2].GetCode(), -3);
    EXPECT_EQ(list[3].GetName(), "second 501");
}

TEST(BaseData, LongNamesAreCutAtACharacterBoundary) {
    std::string name;
    for (int i = 0; i < 50; ++i) {
        name += "号";  // three bytes each
    }
    const TCNameCodeInfo info(1, name);
    EXPECT_EQ(info.GetName().size(), 126u) << "42 whole characters fit in 127 bytes";
    EXPECT_EQ(info.GetName(), name.substr(0, 126));
}

TEST(ExtractItemCode, ReadsTheBracketedCode) {
    EXPECT_EQ(ExtractItemCode(QStringLiteral("[0] 所有类型")), 0);
    EXPECT_EQ(ExtractItemCode(QStringLiteral("[3] 合同")), 3);
    EXPECT_EQ(ExtractItemCode(QStringLiteral("[-12] x")), -12);
    EXPECT_EQ(ExtractItemCode(QStringLiteral("[2147483647] max")), 2147483647);
}

TEST(ExtractItemCode, TextsNotInItemFormGiveZero) {
    for (const char* text : {"", "3", " [3] x", "[] x", "[-] x", "[3x] x", "[3", "[ 3] x",
                             "[99999999999] too big", "abc"}) {
        EXPECT_EQ(ExtractItemCode(QString::fromUtf8(text)), 0) << text;
    }
}

TEST(TrimBlanks, RemovesControlCharactersAtBothEndsOnly) {
    EXPECT_EQ(telmaris::TrimBlanks(QStringLiteral("\t\n a b \r\x01")), QStringLiteral("a b"));
    EXPECT_EQ(telmaris::TrimBlanks(QStringLiteral("   ")), QString());
    EXPECT_EQ(telmaris::TrimBlanks(QStringLiteral("申请")), QStringLiteral("申请"));
}

TEST(GuiServices, KeywordSearchSelectsFirstItemContainingKeywordIgnoringCase) {
    QComboBox combo;
    combo.addItems({QStringLiteral("[0] 所有类型"), QStringLiteral("[1] Contract"),
                    QStringLiteral("[2] contract copy")});
    combo.setCurrentIndex(0);
    DialogRecorder dialogs;
    dialogs.Queue(true, QStringLiteral("CONTR"));
    InputKeywordForm(&combo);
    EXPECT_EQ(combo.currentIndex(), 1);
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].kind, telmaris::DialogKind::Keyword);
    EXPECT_EQ(dialogs.requests[0].target, &combo);

    dialogs.Queue(true, QStringLiteral("missing"));
    InputKeywordForm(&combo);
    EXPECT_EQ(combo.currentIndex(), 1) << "no match leaves the selection";
    dialogs.Queue(false, QStringLiteral("copy"));
    InputKeywordForm(&combo);
    EXPECT_EQ(combo.currentIndex(), 1) << "cancel leaves the selection";
}

TEST(GuiServices, MessagesReportTheWaitBoxState) {
    DialogRecorder dialogs;
    ShowWaitBox(QStringLiteral("正在获取基础数据，请稍后..."));
    EXPECT_TRUE(IsWaitBoxShown());
    ShowGUIMessage(QStringLiteral("m1"), QStringLiteral("提示"), MB_ICONERROR);
    CloseWaitBox();
    CloseWaitBox();
    EXPECT_FALSE(IsWaitBoxShown());
    ShowMessage(QStringLiteral("m2"));
    ASSERT_EQ(dialogs.requests.size(), 2);
    EXPECT_TRUE(dialogs.requests[0].waitBoxShown);
    EXPECT_EQ(dialogs.requests[0].style, MB_ICONERROR);
    EXPECT_EQ(dialogs.requests[0].title, QStringLiteral("提示"));
    EXPECT_FALSE(dialogs.requests[1].waitBoxShown);
    EXPECT_EQ(dialogs.requests[1].kind, telmaris::DialogKind::PlainMessage);
}

TEST(GuiServices, MakeInitAndStyleSetTagsColourStyleAndCursors) {
    QWidget form;
    auto* a = new QLineEdit(&form);
    auto* b = new QLineEdit(&form);
    b->setProperty("Tag", -666);
    auto* button = new QPushButton(QStringLiteral("查询"), &form);
    MakeInit(&form);
    SetGUIStyle(&form);
    EXPECT_EQ(a->property("Tag").toInt(), 0);
    EXPECT_TRUE(form.autoFillBackground()) << "the family colour is painted";
    EXPECT_EQ(form.style()->name(), QStringLiteral("fusion"));
    EXPECT_EQ(a->style(), form.style());
    EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_NE(a->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(b->property("Tag").toInt(), -666);
    EXPECT_EQ(form.property("Tag").toInt(), 0);
}

// The command line's choice, else the configuration's, else the locale's; a choice that is
// neither language is passed over and named.
TEST(Language, ChosenFromOptionConfigurationOrLocale) {
    const QLocale china(QLocale::Chinese, QLocale::China);
    const QLocale taiwan(QLocale::Chinese, QLocale::Taiwan);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    struct Row {
        const char* option;
        const char* configured;
        QLocale system;
        const char* chosen;
        const char* rejected;
    } rows[] = {
        {"", "", china, "zh_CN", ""},
        {"", "", taiwan, "zh_CN", ""},
        {"", "", us, "en", ""},
        {"", "", QLocale::c(), "en", ""},
        {"", "en", china, "en", ""},
        {"", "zh_CN", us, "zh_CN", ""},
        {"zh_CN", "en", us, "zh_CN", ""},
        {"EN", "zh_CN", china, "en", ""},
        {"fr", "zh_CN", us, "zh_CN", "fr"},
        {" de ", "", china, "zh_CN", "de"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.option) + "|" + r.configured);
        QString rejected;
        EXPECT_EQ(ChooseLanguage(QString::fromLatin1(r.option), QString::fromLatin1(r.configured),
                                 r.system, &rejected),
                  QString::fromLatin1(r.chosen));
        EXPECT_EQ(rejected, QString::fromLatin1(r.rejected));
    }
}

// --help speaks the chosen language, also when the configuration chose it.
TEST(Language, HelpInTheChosenLanguage) {
    const TempConfig config(QByteArray("[Session]\nLanguage=en\n"));
    const auto help = [&config](const QStringList& args) {
        QProcess host;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
        env.insert(QStringLiteral("TELMARIS_HOST_CONFIG"), config.Path());
        host.setProcessEnvironment(env);
        host.start(QStringLiteral(TELMARIS_HOST_PROGRAM),
                   args + QStringList{QStringLiteral("--help")});
        EXPECT_TRUE(host.waitForFinished(30000));
        return QString::fromUtf8(host.readAllStandardOutput());
    };
    const QString chinese = help({QStringLiteral("--language"), QStringLiteral("zh_CN")});
    EXPECT_TRUE(Contains(chinese, QStringLiteral("主机配置文件（INI）"))) << chinese.toStdString();
    EXPECT_TRUE(Contains(chinese, QStringLiteral("用法"))) << "Qt's own words too";
    const QString english = help({});
    EXPECT_TRUE(Contains(english, QStringLiteral("host configuration (INI)")))
        << english.toStdString();
    EXPECT_TRUE(Contains(english, QStringLiteral("Usage:")));
    EXPECT_FALSE(std::any_of(english.begin(), english.end(), [](QChar c) {
        return c.unicode() >= 0x3000;
    })) << "no Chinese left";
}

TEST(GuiServices, ChineseLanguageForCalendarsAndStandardButtons) {
    ASSERT_TRUE(InstallChineseLanguage());
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
    QCalendarWidget calendar;
    EXPECT_EQ(calendar.locale().language(), QLocale::Chinese);
    EXPECT_EQ(QLocale().monthName(12), QStringLiteral("十二月"));
    QLocale::setDefault(QLocale::c());
}

}  // namespace

namespace {

// Only a download that succeeded opens from the host's list; where the desktop has no program
// for it, or the file is gone, the operator is told why and where.
TEST(RunningJobs, AFinishedDownloadOpensOrSaysWhereItIs) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("7_a.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    auto& jobs = telmaris::RunningJobs::Instance();
    jobs.ClearEnded();
    jobs.SetLogPath(dir.filePath(QStringLiteral("transfers.log")));
    QObject download;
    QObject upload;
    telmaris::JobInfo info;
    info.upload = false;
    info.localPath = dir.filePath(QStringLiteral("asked.txt"));
    jobs.Add(&download, info, {});
    info.upload = true;
    jobs.Add(&upload, info, {});
    const int id = jobs.Entries().first().id;
    EXPECT_FALSE(jobs.CanOpen(id)) << "not while it runs";
    jobs.SetLocalPath(&download, path);  // kept under another name at its end
    jobs.End(&download, telmaris::RunningJobs::State::Succeeded, QString(), 0);
    jobs.End(&upload, telmaris::RunningJobs::State::Succeeded, QString(), 0);
    EXPECT_TRUE(jobs.CanOpen(id));
    EXPECT_FALSE(jobs.CanOpen(id + 1)) << "an upload has no local file to open";

    // No program to hand it to: no launcher on the path, none in the offscreen platform.
    const QByteArray path0 = qgetenv("PATH");
    qputenv("PATH", dir.path().toUtf8());
    const QString folderWhy = jobs.Open(id, true);
    qputenv("PATH", path0);
    EXPECT_EQ(
        folderWhy,
        QStringLiteral("没有可以打开文件夹的程序，请在文件管理器中打开[%1]。").arg(dir.path()));
    QFile::remove(path);
    EXPECT_EQ(jobs.Open(id, false),
              QStringLiteral("文件[%1]已不存在，可能已被移走或删除。").arg(path));
    EXPECT_EQ(jobs.Open(id + 1, false), QStringLiteral("只有下载成功的文件可以打开。"));
    jobs.ClearEnded();
}

}  // namespace
