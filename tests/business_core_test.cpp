#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QMap>
#include <QTemporaryDir>

#include "DbError.h"
#include "DownloadFolder.h"
#include "FtpTls.h"
#include "InputChecks.h"
#include "LookupLoader.h"
#include "PathList.h"
#include "RegistrationModel.h"
#include "RegistrationReads.h"
#include "ReplaceChoices.h"
#include "RowTexts.h"
#include "SqlRunner.h"
#include "StoreSettings.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TransferProgress.h"
#include "TransferReports.h"
#include "TrimBlanks.h"
#include "support/DialogRecorder.h"
#include "support/TempConfig.h"
#include "support/TestDatabase.h"
#include "support/TextChecks.h"

using korvane::CodeTableAutoLookup;
using korvane::IsSelectStatement;
using korvane::RunSQL;
using korvane::test::Contains;
using korvane::test::DialogRecorder;
using korvane::test::EndsWith;
using korvane::test::StartsWith;
using korvane::test::TestDatabase;

namespace {

// The current speed follows the last five seconds of samples: a transfer that slows down shows
// its new pace at once while the average still lags, and an early or stalled one says so.
TEST(RecentSpeed, FollowsTheLastFiveSecondsOfSamples) {
    struct Row {
        const char* name;
        QList<std::pair<int64_t, uint64_t>> samples;  // ms, bytes done
        double perSecond;
        const char* text;
    };
    const Row rows[] = {
        {"no samples", {}, -1, ""},
        {"less than a second", {{0, 0}, {500, 50000}}, -1, ""},
        {"steady", {{0, 0}, {1000, 100000}, {2000, 200000}}, 100000, "97.7 KiB/s"},
        {"slowed down: only the last 5 s count",
         {{0, 0}, {2000, 20000000}, {4000, 40000000}, {6000, 40200000}, {9000, 40500000}},
         100000,
         "97.7 KiB/s"},
        {"stalled", {{0, 0}, {1000, 5000}, {7000, 5000}, {8000, 5000}}, 0, "0 B/s"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        korvane::RecentSpeed speed;
        for (const auto& [ms, done] : row.samples) {
            speed.Add(ms, done);
        }
        EXPECT_DOUBLE_EQ(speed.BytesPerSecond(), row.perSecond);
        EXPECT_EQ(speed.Text(), QString::fromUtf8(row.text));
    }
}

// Download folder: the configured one first, else the program's when writable, else the
// operator's downloads; a chosen folder that cannot be used is named and nothing else is tried.
TEST(DownloadFolder, ChoiceFollowsTheRulesAndCreatesOnlyTheChosenFolder) {
    struct Row {
        const char* name;
        const char* configured;  // relative to a fresh temporary root; "" = not set
        QStringList readOnly;    // folders the probe says cannot be written
        const char* chosen;      // "" = none
        const char* named;       // the folder the error names
    };
    const Row rows[] = {
        {"configured wins", "site/down", {}, "site/down", ""},
        {"configured unusable, no fallback", "site/down", {"site/down"}, "", "site/down"},
        {"program dir", "", {}, "bin", ""},
        {"read-only program dir", "", {"bin"}, "home/Downloads", ""},
        {"nowhere to write", "", {"bin", "home/Downloads"}, "", "home/Downloads"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir root;
        QDir(root.path()).mkpath(QStringLiteral("bin"));
        auto at = [&](const QString& rel) { return root.filePath(rel); };
        const auto probe = [&](const QString& dir) {
            for (const QString& ro : row.readOnly) {
                if (QDir::cleanPath(dir) == at(ro)) {
                    return false;
                }
            }
            return korvane::CanCreateFilesIn(dir);
        };
        const QString configured = *row.configured ? at(row.configured) : QString();
        const auto folder =
            korvane::ChooseDownloadFolder(configured, at("bin"), at("home/Downloads"), probe);
        EXPECT_EQ(folder.path, *row.chosen ? at(row.chosen) : QString());
        if (*row.named) {
            EXPECT_TRUE(Contains(folder.error, at(row.named))) << folder.error.toStdString();
        } else {
            EXPECT_TRUE(folder.error.isEmpty()) << folder.error.toStdString();
            EXPECT_TRUE(QFileInfo(folder.path).isDir());
        }
        if (QString(row.chosen) != u"home/Downloads" && QString(row.named) != u"home/Downloads") {
            EXPECT_FALSE(QFileInfo::exists(at("home"))) << "nothing made elsewhere";
        }
    }
}

// The site's FTP settings: absent or empty means the default, values ignore case and blanks,
// anything else is refused with a message naming the parameter.
TEST(FtpSettings, ValuesDefaultsAndRefusals) {
    struct Row {
        const char* name;
        QMap<QString, QString> params;
        const char* refused;  // the parameter the message names; nullptr: accepted
        ftp::DataMode mode = ftp::DataMode::Active;
        ftp::RestartRule restart = ftp::RestartRule::Offset;
        bool viaPart = true;
        int timeout = 0;  // 0: unset
        const char* encoding = "auto";
        ftp::TlsMode tls = ftp::TlsMode::Off;
    };
    const std::string pin(32, '\xab');
    const QString colons = QStringLiteral("AB:").repeated(31) + QStringLiteral("ab");
    using M = ftp::DataMode;
    using R = ftp::RestartRule;
    const Row rows[] = {
        {"defaults", {}, nullptr, M::Active, R::Offset, true, 0},
        {"empty values",
         {{"korvane_ftp_mode", ""}, {"korvane_ftp_timeout", " "}},
         nullptr,
         M::Active,
         R::Offset,
         true,
         0},
        {"passive, code, direct, 45",
         {{"korvane_ftp_mode", " Passive "},
          {"korvane_ftp_resume", "CODE"},
          {"korvane_ftp_upload", "direct"},
          {"korvane_ftp_timeout", "45"}},
         nullptr,
         M::Passive,
         R::AnyCode350,
         false,
         45},
        {"auto", {{"korvane_ftp_mode", "auto"}}, nullptr, M::Auto, R::Offset, true, 0},
        {"strict", {{"korvane_ftp_resume", "Strict"}}, nullptr, M::Active, R::Strict, true, 0},
        {"unknown mode",
         {{"korvane_ftp_mode", "pasv"}},
         "korvane_ftp_mode",
         M::Active,
         R::Offset,
         true,
         0},
        {"unknown resume",
         {{"korvane_ftp_resume", "yes"}},
         "korvane_ftp_resume",
         M::Active,
         R::Offset,
         true,
         0},
        {"unknown upload",
         {{"korvane_ftp_upload", "replace"}},
         "korvane_ftp_upload",
         M::Active,
         R::Offset,
         true,
         0},
        {"zero timeout",
         {{"korvane_ftp_timeout", "0"}},
         "korvane_ftp_timeout",
         M::Active,
         R::Offset,
         true,
         0},
        {"word timeout",
         {{"korvane_ftp_timeout", "thirty"}},
         "korvane_ftp_timeout",
         M::Active,
         R::Offset,
         true,
         0},
        {"implicit TLS pinned",
         {{"korvane_ftp_tls", "Implicit"},
          {"korvane_ftp_fingerprint", colons},
          {"korvane_ftp_cafile", QStringLiteral(KORVANE_SOURCE_DIR "/README.md")}},
         nullptr,
         M::Active,
         R::Offset,
         true,
         0,
         "auto",
         ftp::TlsMode::Implicit},
        {"unknown TLS", {{"korvane_ftp_tls", "ssl"}}, "korvane_ftp_tls"},
        {"missing CA file", {{"korvane_ftp_cafile", "/nonexistent/ca.pem"}}, "korvane_ftp_cafile"},
        {"short fingerprint",
         {{"korvane_ftp_fingerprint", colons.left(94)}},
         "korvane_ftp_fingerprint"},
        {"fingerprint missing one colon",
         {{"korvane_ftp_fingerprint", QString(colons).remove(2, 1)}},
         "korvane_ftp_fingerprint"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QMap<QString, QString> params = row.params;
        params.insert(QStringLiteral("korvane_pwd"), QStringLiteral(" secret "));
        korvane::StoreSettings settings;
        QString error;
        const bool ok = korvane::ReadStoreSettings(
            [&](const QString& name) { return params.value(name); }, &settings, &error);
        if (row.refused != nullptr) {
            EXPECT_FALSE(ok);
            EXPECT_TRUE(Contains(error, QString::fromLatin1(row.refused))) << error.toStdString();
            continue;
        }
        ASSERT_TRUE(ok) << error.toStdString();
        EXPECT_EQ(settings.endpoint.password, QStringLiteral(" secret ")) << "used as it comes";
        EXPECT_EQ(settings.ftp.mode, row.mode);
        EXPECT_EQ(settings.ftp.restart, row.restart);
        EXPECT_EQ(settings.viaTemporary, row.viaPart);
        EXPECT_EQ(settings.timeoutSeconds.value_or(0), row.timeout);
        EXPECT_EQ(settings.ftp.encoding, row.encoding);
        EXPECT_EQ(settings.ftp.tls.mode, row.tls);
        if (row.tls != ftp::TlsMode::Off) {
            EXPECT_EQ(ftp::ParseFingerprint(settings.ftp.tls.fingerprint), pin);
        }
    }
}

class RunSqlTest : public ::testing::Test {
protected:
    void SetUp() override {
        connection.SetConnectionString(db->ConnectionString());
        connection.SetConnected(true);
    }
    std::unique_ptr<TestDatabase> db = TestDatabase::Create(korvane::db::Backend::SQLite);
    korvane::db::TADOConnection connection;
    korvane::db::TADOQuery query{connection};
    DialogRecorder dialogs;
};

TEST(RunSqlJudgement, FirstWordDecidesBetweenOpenAndExecute) {
    EXPECT_TRUE(IsSelectStatement(QStringLiteral("select 1")));
    EXPECT_TRUE(IsSelectStatement(QStringLiteral("SeLeCt * from t")));
    EXPECT_TRUE(IsSelectStatement(QStringLiteral("selectx")));
    EXPECT_FALSE(IsSelectStatement(QStringLiteral("(select 1)")));
    EXPECT_FALSE(IsSelectStatement(QStringLiteral("selec")));
    EXPECT_FALSE(IsSelectStatement(QString()));
    EXPECT_FALSE(IsSelectStatement(QStringLiteral("insert into t")));
}

TEST_F(RunSqlTest, LeadingBlanksAndLineBreaksAreTrimmedBeforeJudging) {
    ASSERT_TRUE(
        RunSQL(query, QStringLiteral("\n\t  select code_value from xg.sys_base_type  \r\n")));
    EXPECT_TRUE(query.Active());
    EXPECT_EQ(query.SQLText(), QStringLiteral("select code_value from xg.sys_base_type"));
    ASSERT_TRUE(
        RunSQL(query, QStringLiteral("  insert into xg.sys_base_type values('E','1','A')")));
    EXPECT_FALSE(query.Active());
    ASSERT_TRUE(RunSQL(query, QStringLiteral("SELECT cname FROM xg.sys_base_type")));
    EXPECT_EQ(query.RecordCount(), 1);
    ASSERT_TRUE(RunSQL(query, QStringLiteral("update xg.sys_base_type set cname='B'")));
    ASSERT_TRUE(RunSQL(query, QStringLiteral("delete from xg.sys_base_type")));
    EXPECT_TRUE(dialogs.requests.isEmpty());
}

TEST_F(RunSqlTest, FailureShowsOnePlainMessageWithTheReasonAboveTheStatement) {
    const QString bad = QStringLiteral("  select * from zy.missing  ");
    EXPECT_FALSE(RunSQL(query, bad));
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].kind, telmaris::DialogKind::PlainMessage);
    const QStringList lines = dialogs.requests[0].text.split(u'\n');
    ASSERT_EQ(lines.size(), 3) << dialogs.requests[0].text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("执行SQL出错了呀！"));
    EXPECT_TRUE(Contains(lines[1], QStringLiteral("missing"))) << "the database's reason on top";
    EXPECT_EQ(lines[2], QStringLiteral("语句：") + bad) << "the statement as passed below it";
    EXPECT_TRUE(query.Eof());
    EXPECT_THROW(query.RecordCount(), korvane::db::DbError);

    // A statement of a thousand names is cut to a few lines, the cut marked.
    const QString huge = QStringLiteral("select * from zy.missing where down_path in (") +
                         QStringList(1000, QStringLiteral("'1024_contract.pdf'")).join(u',') + u')';
    const QString shown = korvane::SqlErrorMessage(huge, QStringLiteral("no such table"));
    const QStringList cut = shown.split(u'\n');
    ASSERT_EQ(cut.size(), 2 + korvane::kSqlStatementLines) << shown.toStdString();
    EXPECT_EQ(cut[1], QStringLiteral("no such table"));
    EXPECT_TRUE(cut.last().endsWith(QStringLiteral("…")));
    EXPECT_LE(shown.size(), 400);
}

TEST_F(RunSqlTest, BracketFirstAndBlankStatementsAreExecutedNotOpened) {
    // Executed, a bracketed SELECT is no statement SQLite runs: one message, no result set.
    EXPECT_FALSE(RunSQL(query, QStringLiteral("(select 1)")));
    EXPECT_FALSE(query.Active());
    ASSERT_EQ(dialogs.requests.size(), 1);
    dialogs.requests.clear();
    EXPECT_FALSE(RunSQL(query, QStringLiteral("   ")));
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(dialogs.requests[0].text.endsWith(QStringLiteral("\n语句：   ")))
        << dialogs.requests[0].text.toStdString();
}

TEST_F(RunSqlTest, NoConnectionIsReportedNotThrown) {
    connection.Close();
    EXPECT_FALSE(RunSQL(query, QStringLiteral("select 1")));
    EXPECT_FALSE(RunSQL(query, QStringLiteral("insert into x values(1)")));
    EXPECT_EQ(dialogs.requests.size(), 2);
}

// Lookup ---------------------------------------------------------------------------------

CodeTableAutoLookup MakeLookup(const TCNameCodeInfoList& list) {
    return CodeTableAutoLookup(list, &TCNameCodeInfo::GetCode, &TCNameCodeInfo::GetName);
}

TEST(Lookup, TextByCodeGivesItemTextOrBareNumber) {
    auto lookup = MakeLookup({{501, "张三"}, {7, "Li Si"}});
    EXPECT_EQ(lookup.GetTextByCode(501), "[501] 张三");
    EXPECT_EQ(lookup.GetTextByCode(8), "8");
    EXPECT_EQ(lookup.GetTextByCode(-5), "-5");
    EXPECT_EQ(lookup.GetNameByCode(7), "Li Si");
    EXPECT_EQ(lookup.GetNameByCode(8), "");
}

TEST(Lookup, NegativeAndExtremeCodesAreFormattedSigned) {
    auto lookup = MakeLookup({{-3, "neg"}, {INT64_MIN, "min"}, {INT64_MAX, "max"}});
    EXPECT_EQ(lookup.GetTextByCode(-3), "[-3] neg");
    EXPECT_EQ(lookup.GetTextByCode(INT64_MIN), "[-9223372036854775808] min");
    EXPECT_EQ(lookup.GetCodeByText("[9223372036854775807] MAX"), INT64_MAX);
}

TEST(Lookup, FirstOfDuplicateCodesWinsEverywhere) {
    auto lookup = MakeLookup({{1, "first"}, {1, "second"}, {2, "first"}});
    EXPECT_EQ(lookup.GetTextByCode(1), "[1] first");
    EXPECT_EQ(lookup.GetNameByCode(1), "first");
    EXPECT_EQ(lookup.GetCodeByName("FIRST"), 1);
    EXPECT_EQ(lookup.GetCodeByText("[1] second"), 1);
}

TEST(Lookup, TextAndNameMatchIgnoreAsciiCaseWithNumberFallback) {
    auto lookup = MakeLookup({{42, "Contract"}, {43, "合同"}});
    EXPECT_EQ(lookup.GetCodeByText("[42] CONTRACT"), 42);
    EXPECT_EQ(lookup.GetCodeByText("[43] 合同"), 43);
    EXPECT_EQ(lookup.GetCodeByText("[99] unknown"), 0) << "item text of a code not held";
    EXPECT_EQ(lookup.GetCodeByText("  -17abc"), -17) << "bare number fallback";
    EXPECT_EQ(lookup.GetCodeByText("12"), 12);
    EXPECT_EQ(lookup.GetCodeByName("contract"), 42);
    EXPECT_EQ(lookup.GetCodeByName("nobody"), 0);
    EXPECT_EQ(lookup.GetCodeByName("305"), 305);
}

TEST(Lookup, ItemTextIsCutTo127BytesFromTheEndOfTheName) {
    const std::string name(127, 'n');
    auto lookup = MakeLookup({{12345, name}});
    const std::string text = lookup.GetTextByCode(12345);
    EXPECT_EQ(text.size(), 127u);
    EXPECT_EQ(text.substr(0, 8), "[12345] ");
    EXPECT_EQ(lookup.GetCodeByText(text), 12345);

    std::string chinese;
    for (int i = 0; i < 42; ++i) {
        chinese += "号";
    }
    auto cjk = MakeLookup({{1, chinese}});
    const std::string cut = cjk.GetTextByCode(1);
    EXPECT_LE(cut.size(), 127u);
    EXPECT_EQ(cut.size(), 4u + 41u * 3u) << "whole characters only";
}

TEST(Lookup, FillComboBoxAppendsAndSelectsTheFirstItem) {
    auto lookup = MakeLookup({{1, "A"}, {2, "B"}});
    QComboBox combo;
    combo.addItem(QStringLiteral("old"));
    combo.setCurrentIndex(-1);
    lookup.FillComboBox(&combo);
    ASSERT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.itemText(1), QStringLiteral("[1] A"));
    EXPECT_EQ(combo.currentIndex(), 0);
    lookup.FillComboBox(nullptr);

    QListWidget list;
    lookup.FillListBox(&list);
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.item(1)->text(), QStringLiteral("[2] B"));
    EXPECT_EQ(list.currentRow(), -1);
}

TEST(Lookup, LoadCodeTableReplacesTheHeldLookup) {
    korvane::test::TempConfig config("[CodeTable285]\n501=张三\nx=bad\n");
    std::unique_ptr<korvane::CodeTableLookup> holder;
    korvane::LoadCodeTable(285, holder);
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->GetTextByCode(501), "[501] 张三");
    config.Write("[CodeTable285]\n501=王五\n");
    korvane::LoadCodeTable(285, holder);
    EXPECT_EQ(holder->GetTextByCode(501), "[501] 王五");
    telmaris::SetHostConfigPath(QStringLiteral("/nonexistent.ini"));
    korvane::LoadCodeTable(285, holder);
    ASSERT_TRUE(holder) << "an undeliverable table still gives a lookup";
    EXPECT_EQ(holder->GetTextByCode(501), "501");
}

// Input checks: the first failing check's message and the field it sends the operator back to.
struct InputRow {
    const char* name;
    korvane::UploadInput upload;
    QString message;  // empty: passes
    korvane::InputField field;
};

void PrintTo(const InputRow& row, std::ostream* os) {
    *os << row.name;
}

class UploadCheck : public ::testing::TestWithParam<InputRow> {};

TEST_P(UploadCheck, FirstFailureNamesItsField) {
    const InputRow& row = GetParam();
    const auto exists = [](const QString& path) { return path != u"/tmp/missing.txt"; };
    const korvane::InputProblem p = korvane::CheckUpload(row.upload, exists);
    EXPECT_EQ(p.message, row.message);
    EXPECT_EQ(p.field, row.field) << p.message.toStdString();
}

using F = korvane::InputField;
using korvane::LengthUnit;

// An upload of /tmp/<name> as order 1024 with remark, its lengths counted in unit.
korvane::UploadInput Upload(const QString& name, const QString& remark, LengthUnit unit) {
    return {QStringLiteral("1024"), QStringLiteral("1"), QStringLiteral("/tmp/") + name, remark,
            unit};
}
QString Times(const QString& part, int n) {
    return part.repeated(n);
}
const QString kHan = QStringLiteral("备");
const QString kEmoji = QString::fromUcs4(U"\U0001F600");
constexpr auto kChars = LengthUnit::Characters;
constexpr auto kBytes = LengthUnit::Utf8Bytes;

// The columns' limits: remark 1000 and down_path ("1024_" and the name) 300, in characters
// (PostgreSQL, SQLite) or in UTF-8 bytes (Oracle).
INSTANTIATE_TEST_SUITE_P(
    Limits, UploadCheck,
    ::testing::Values(
        InputRow{"RemarkAtLimit", Upload("a.txt", Times(kHan, 1000), kChars), "", F::None},
        InputRow{"RemarkOverLimit", Upload("a.txt", Times(kHan, 1001), kChars),
                 "备注最多1000个字符，现有1001个，请删减！", F::Remark},
        InputRow{"RemarkOfSurrogatePairsAtLimit", Upload("a.txt", Times(kEmoji, 1000), kChars), "",
                 F::None},
        InputRow{"RemarkAtLimitInBytes", Upload("a.txt", Times(kHan, 333) + u'x', kBytes), "",
                 F::None},
        InputRow{"RemarkOverLimitInBytes", Upload("a.txt", Times(kHan, 334), kBytes),
                 "备注最多1000字节（一个汉字占3字节），现有1002字节，请删减！", F::Remark},
        InputRow{"NameAtLimit", Upload(Times(QStringLiteral("a"), 295), "", kChars), "", F::None},
        InputRow{"NameOverLimit", Upload(Times(QStringLiteral("a"), 296), "", kChars),
                 "服务器上的文件名[1024_" + Times(QStringLiteral("a"), 35) +
                     "…]最多300个字符，现有301个，请改短文件名后再上传！",
                 F::FilePath},
        InputRow{"NameOfHanAtLimitInCharacters", Upload(Times(kHan, 295), "", kChars), "", F::None},
        InputRow{"NameOverLimitInBytes", Upload(Times(kHan, 99), "", kBytes),
                 "服务器上的文件名[1024_" + Times(kHan, 35) +
                     "…]最多300字节（一个汉字占3字节），现有302字节，请改短文件名后再上传！",
                 F::FilePath}),
    [](const ::testing::TestParamInfo<InputRow>& row) { return std::string(row.param.name); });

TEST(LengthUnit, OracleCountsBytesTheOthersCharacters) {
    EXPECT_EQ(korvane::LengthUnitOf(korvane::db::Backend::Oracle), kBytes);
    for (const auto b : {korvane::db::Backend::SQLite, korvane::db::Backend::PostgreSQL,
                         korvane::db::Backend::Odbc}) {
        EXPECT_EQ(korvane::LengthUnitOf(b), kChars);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UploadCheck,
    ::testing::Values(
        InputRow{"NoOrderNumber",
                 {"", "1", "/tmp/contract.txt"},
                 "申请单号不能为空，请输入！",
                 F::OrderNumber},
        InputRow{"LettersInTheNumber",
                 {"12a", "", ""},
                 "申请单号只能是不超过18位的数字，请重新输入！",
                 F::OrderNumber},
        InputRow{"NineteenDigits",
                 {"1234567890123456789", "1", "/tmp/contract.txt"},
                 "申请单号只能是不超过18位的数字，请重新输入！",
                 F::OrderNumber},
        InputRow{"NoType",
                 {"1024", "", "/tmp/contract.txt"},
                 "申请单类型不能为空或为[全部]，请重新选择！",
                 F::OrderType},
        InputRow{"AllTypes",
                 {"1024", "0", "/tmp/contract.txt"},
                 "申请单类型不能为空或为[全部]，请重新选择！",
                 F::OrderType},
        InputRow{"NoPath", {"1024", "1", ""}, "请确定要上传的文件名称！", F::FilePath},
        InputRow{"MissingFile",
                 {"1024", "1", "/tmp/missing.txt"},
                 "所给上传文件不存在，请重新确定！",
                 F::FilePath},
        InputRow{"NulInTheRemark",
                 {"1024", "1", "/tmp/contract.txt", QStringLiteral("a") + QChar(0)},
                 "备注中含有空字符（NUL），请删除后再上传！",
                 F::Remark},
        InputRow{"EscapingBackslashInTheName",
                 {"1024", "1", "/tmp/a\\b.txt", "", kChars, true},
                 "该数据库把反斜杠（\\）当作转义符，文件名称中不能含有反斜杠，"
                 "请去掉后再上传！",
                 F::FilePath},
        InputRow{
            "PlainBackslashInTheRemark", {"1024", "1", "/tmp/contract.txt", "a\\b"}, "", F::None},
        InputRow{"AllGood", {"1024", "1", "/tmp/contract.txt"}, "", F::None}),
    [](const ::testing::TestParamInfo<InputRow>& row) { return std::string(row.param.name); });

// The box holds a chosen path so that reading it back (trimmed, as every box is) gives that very
// path, blanks at its ends included.
TEST(PathList, ChosenPathsReadBackAsChosen) {
    for (const QStringList& chosen :
         {QStringList{QStringLiteral("/a/x.txt")}, QStringList{QStringLiteral("/a/x.txt ")},
          QStringList{QStringLiteral(" /a/x.txt")},
          QStringList{QStringLiteral("/a/x "), QStringLiteral("/b/y")}}) {
        const QString box = korvane::JoinPathList(chosen);
        EXPECT_EQ(korvane::SplitPathList(telmaris::TrimBlanks(box)), chosen) << box.toStdString();
    }
}

TEST(SearchCheck, OneConditionAndAWellFormedNumber) {
    korvane::SearchConditions c;
    EXPECT_EQ(korvane::CheckSearch(c).message, QStringLiteral("请至少确定一个查询条件"));
    c.useDates = true;
    EXPECT_TRUE(korvane::CheckSearch(c).Passed()) << "the date range alone is a condition";
    c.id = QStringLiteral("1x");
    const korvane::InputProblem p = korvane::CheckSearch(c);
    EXPECT_EQ(p.message, korvane::CheckUpload({"1x", "1", "f"}, {}).message)
        << "one text for a malformed number, in both checks";
    EXPECT_EQ(p.field, korvane::InputField::OrderNumber);
}

// A search's row texts: each code looked up once, however many rows carry it.
TEST(RowTexts, EachCodeIsLookedUpOnce) {
    int lookups = 0;
    korvane::RowTexts texts({QStringLiteral("[0] 所有类型"), QStringLiteral("[1] 合同")},
                            [&lookups](int32_t op) {
                                ++lookups;
                                return QStringLiteral("op%1").arg(op);
                            });
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(texts.Type(QStringLiteral("1")), QStringLiteral("[1] 合同"));
        EXPECT_EQ(texts.Type(QStringLiteral("7")), QStringLiteral("7"));
        EXPECT_EQ(texts.Operator(501), QStringLiteral("op501"));
        EXPECT_EQ(texts.Operator(-2), QStringLiteral("op-2"));
    }
    EXPECT_EQ(lookups, 2);
}

using korvane::RegistrationModel;

// The list's model over rows given as (id, type code, name, operator, date, remark).
struct ListRows {
    RegistrationModel model{
        QStringList{"id", "type", "name", "op", "date", "remark", "size"},
        korvane::RowTexts({QStringLiteral("[1] 合同"), QStringLiteral("[2] 证件")}, [](int32_t op) {
            return op == 999 ? QString::number(op)
                             : QStringLiteral("[%1] 员%2").arg(op).arg(QChar(0x4e00 + op));
        })};
    void Add(std::initializer_list<
             std::tuple<const char*, const char*, const char*, int, const char*, const char*>>
                 rows) {
        model.BeginFill();
        for (const auto& [id, type, name, op, date, remark] : rows) {
            const QString t[] = {id, type, name, date, remark};
            model.Append({t[0], t[1], t[2], op, t[3], t[4]});
        }
        model.EndFill();
    }
    QStringList Column(int column) const {
        QStringList out;
        for (int row = 0; row < model.rowCount(); ++row) {
            out << model.Text(row, column);
        }
        return out;
    }
};

// Numbers sort as numbers, codes by the text they show, dates by time, an absent size first.
TEST(RegistrationList, EachColumnSortsInItsOwnOrderBothWays) {
    ListRows list;
    list.Add({{"100", "2", "b.txt", 502, "2026-12-09 09:30:00", "x"},
              {"9", "7", "a.txt", 999, "2008-03-01 00:00:00", ""},
              {"10", "1", "c.txt", 501, "2010-01-31 23:59:59", "合同"}});
    list.model.SetRecordedSize(u"c.txt", 2048);
    list.model.SetRecordedSize(u"b.txt", 5);
    list.model.EndMarks();
    const struct {
        int column;
        QStringList ascendingIds;
    } table[] = {
        {RegistrationModel::kId, {"9", "10", "100"}},
        {RegistrationModel::kType, {"9", "10", "100"}},  // "7" < "[1] 合同" < "[2] 证件"
        {RegistrationModel::kName, {"9", "100", "10"}},
        {RegistrationModel::kOperator, {"9", "10", "100"}},  // "999" < "[501] .." < "[502] .."
        {RegistrationModel::kDate, {"9", "10", "100"}},
        {RegistrationModel::kRemark, {"9", "100", "10"}},
        {RegistrationModel::kSize, {"9", "100", "10"}},
    };
    for (const auto& row : table) {
        list.model.sort(row.column, Qt::AscendingOrder);
        EXPECT_EQ(list.Column(RegistrationModel::kId), row.ascendingIds) << row.column;
        list.model.sort(row.column, Qt::DescendingOrder);
        QStringList descending = row.ascendingIds;
        std::reverse(descending.begin(), descending.end());
        EXPECT_EQ(list.Column(RegistrationModel::kId), descending) << row.column;
    }
    list.model.sort(RegistrationModel::kId, Qt::AscendingOrder);
    EXPECT_EQ(list.Column(RegistrationModel::kType), QStringList({"7", "[1] 合同", "[2] 证件"}));
    EXPECT_EQ(list.Column(RegistrationModel::kSize), QStringList({"", "2.0 KiB", "5 B"}));
}

// A sort moves the selection with its row: the operator downloads the row they chose.
TEST(RegistrationList, TheSelectionFollowsItsRowThroughASort) {
    ListRows list;
    list.Add({{"1", "1", "a.txt", 501, "2020-01-01 00:00:00", ""},
              {"2", "1", "b.txt", 501, "2021-01-01 00:00:00", ""},
              {"3", "1", "c.txt", 501, "2022-01-01 00:00:00", ""}});
    QItemSelectionModel selection(&list.model);
    selection.select(list.model.index(0, 0),
                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list.model.sort(RegistrationModel::kDate, Qt::DescendingOrder);
    const QModelIndexList rows = selection.selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(list.model.Text(rows[0].row(), RegistrationModel::kName), QStringLiteral("a.txt"));
    EXPECT_EQ(rows[0].row(), 2);
}

// Older rows of a name are marked replaced and lose the size, which tells of the newer file;
// a name without a record shows no size.
TEST(RegistrationList, ReplacedRowsAndRecordedSizes) {
    ListRows list;
    list.Add({{"1", "1", "a.txt", 501, "2020-01-01 00:00:00", ""},
              {"2", "1", "a.txt", 501, "2021-01-01 00:00:00", ""},
              {"3", "1", "b.txt", 501, "2021-01-01 00:00:00", ""}});
    list.model.MarkReplacedBefore(u"a.txt", u"2021-01-01 00:00:00");
    list.model.SetRecordedSize(u"a.txt", 3 * 1024 * 1024);
    list.model.EndMarks();
    list.model.sort(RegistrationModel::kId, Qt::AscendingOrder);
    EXPECT_EQ(list.Column(RegistrationModel::kDate),
              QStringList({"2020-01-01 00:00:00（已被替换）", "2021-01-01 00:00:00",
                           "2021-01-01 00:00:00"}));
    EXPECT_EQ(list.Column(RegistrationModel::kSize), QStringList({"", "3.0 MiB", ""}));
    EXPECT_TRUE(list.model.Replaced(0));
    EXPECT_FALSE(list.model.Replaced(1));
}

// A large fill keeps every text whole, however the store's chunks fall.
TEST(RegistrationList, HundredThousandRowsKeepTheirTexts) {
    ListRows list;
    list.model.BeginFill();
    for (int i = 0; i < 100000; ++i) {
        const QString id = QString::number(i);
        const QString name = id + QStringLiteral("_文件%1.txt").arg(QString(i % 50, u'x'));
        list.model.Append({id, u"1", name, 501, u"2026-12-09 10:00:00", QString(i % 300, u'备')});
    }
    list.model.EndFill();
    ASSERT_EQ(list.model.rowCount(), 100000);
    list.model.sort(RegistrationModel::kId, Qt::DescendingOrder);
    for (const int row : {0, 1, 4242, 99999}) {
        const int i = 99999 - row;
        EXPECT_EQ(list.model.Text(row, RegistrationModel::kName),
                  QString::number(i) + QStringLiteral("_文件%1.txt").arg(QString(i % 50, u'x')));
        EXPECT_EQ(list.model.Text(row, RegistrationModel::kRemark), QString(i % 300, u'备'));
        EXPECT_EQ(list.model.Text(row, RegistrationModel::kOperator),
                  QStringLiteral("[501] 员") + QChar(0x4e00 + 501));
    }
}

// The upload's plan: the paths of the box, each with its remote name; blanks that belong to a
// file's name are never dropped silently, and remote names must differ.
TEST(UploadPlan, PathsBlanksAndDuplicates) {
    const QStringList files{"/a/x.txt", "/a/x.txt ", "/b/x.txt", "/a/only .txt "};
    const auto isFile = [&files](const QString& p) { return files.contains(p); };
    struct Row {
        const char* typed;
        const char* said;  // part of the message; null: passes
        QStringList remotes;
    };
    const Row rows[] = {
        {"/a/x.txt", nullptr, {"7_x.txt"}},
        {"  /a/x.txt", nullptr, {"7_x.txt"}},
        {"/a/x.txt ", "去掉空白后是另一个文件[/a/x.txt]", {}},
        {"/a/only .txt ", "[/a/only .txt ]的名称两端有空白", {}},
        {"\"/a/x.txt \" \"/b/y.txt\"", "所给上传文件不存在", {}},
        {"\"/a/x.txt \" \"/a/x.txt\"", nullptr, {}},
        {"\"/a/x.txt\" \"/b/x.txt\"", "同一申请单的文件名称不能重复", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        const korvane::UploadPlan plan =
            korvane::PlanUpload({"7", "1", ""}, QString::fromUtf8(row.typed), isFile);
        if (row.said == nullptr) {
            EXPECT_TRUE(plan.problem.Passed()) << plan.problem.message.toStdString();
        } else {
            EXPECT_TRUE(Contains(plan.problem.message, QString::fromUtf8(row.said)));
            EXPECT_EQ(plan.problem.field, korvane::InputField::FilePath);
        }
        if (!row.remotes.isEmpty()) {
            EXPECT_EQ(plan.remotes, row.remotes);
        }
    }
}

// What the operator is told after an upload: "文件上传失败！" after every failure that left the
// file unstored or not in place, and a rename without an answer is never a refusal.
TEST(TransferReports, UploadMessagesFollowTheStepThatFailed) {
    using Step = korvane::TransferOutcome::Step;
    using korvane::store::Fault;
    korvane::TransferRequest request;
    request.remote = QStringLiteral("7_a.txt");
    request.timeouts = korvane::store::Timeouts::All(3000);
    const QString advice =
        QStringLiteral("服务器不允许改名(550)，请把系统参数korvane_ftp_upload设为direct。");
    struct Row {
        Step reached;
        Fault fault;
        bool cancelled;
        bool failedTold;   // "文件上传失败！" follows
        const char* said;  // part of the first message
    };
    const Row rows[] = {
        {Step::Done, Fault::None, false, false, "文件上传成功，数据保存成功！"},
        {Step::Transfer, Fault::Broken, false, true, "时传输中断"},
        {Step::Transfer, Fault::Cancelled, true, false, "已取消上传"},
        {Step::Register, Fault::None, false, false, "why"},
        {Step::Publish, Fault::Server, false, true, "direct"},
        {Step::Publish, Fault::Timeout, false, true, "没有及时应答改名（等待了3秒）"},
        {Step::Publish, Fault::Broken, false, true, "连接在改名时中断"},
        {Step::Commit, Fault::None, false, false, "why"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.reached) * 100 + static_cast<int>(row.fault));
        korvane::TransferOutcome outcome;
        outcome.reached = row.reached;
        outcome.fault = row.fault;
        outcome.cancelled = row.cancelled;
        outcome.reason = row.reached == Step::Publish ? advice : QStringLiteral("why");
        const QStringList said = korvane::UploadMessages(request, outcome);
        ASSERT_FALSE(said.isEmpty());
        EXPECT_TRUE(Contains(said[0], QString::fromUtf8(row.said)));
        EXPECT_EQ(said.size(), row.failedTold ? 2 : 1);
        if (row.fault == Fault::Timeout || row.fault == Fault::Broken) {
            EXPECT_FALSE(Contains(said.join(u'\n'), QStringLiteral("direct")));
        }
    }
}

// A batch's end: one summary for several, inputs cleared only when every upload was saved,
// the list again when any was; each session warning told once per window.
TEST(TransferReports, BatchEndsAndWarningsOnce) {
    using korvane::Direction;
    using R = korvane::TransferQueue::Result;
    const QList<R> mixed{{"7_a", true, false, {}, {}, false},
                         {"7_b", false, false, "why", {}, false}};
    const korvane::BatchEnd up = korvane::JudgeBatch(Direction::Upload, mixed);
    EXPECT_FALSE(up.allSucceeded);
    EXPECT_FALSE(up.clearInputs);
    EXPECT_TRUE(up.listAgain);
    EXPECT_TRUE(StartsWith(up.summary, QStringLiteral("已上传1个文件：7_a")));
    const korvane::BatchEnd down = korvane::JudgeBatch(Direction::Download, {mixed[0]});
    EXPECT_TRUE(down.allSucceeded);
    EXPECT_TRUE(down.summary.isEmpty());
    EXPECT_FALSE(down.clearInputs || down.listAgain) << "a download leaves the upload inputs";
    EXPECT_TRUE(korvane::ReportsEachJob(1, false));
    EXPECT_FALSE(korvane::ReportsEachJob(2, false));
    EXPECT_FALSE(korvane::ReportsEachJob(1, true));
    EXPECT_EQ(korvane::ClaimExpirySeconds(korvane::store::Timeouts::All(5000)), 60);
    EXPECT_EQ(korvane::ClaimExpirySeconds(korvane::store::Timeouts::All(90000)), 180);
    EXPECT_EQ(korvane::OperatorName(QStringLiteral("[502] 李四"), 502), QStringLiteral("李四"));
    EXPECT_EQ(korvane::OperatorName(QString(), 503), QStringLiteral("503"));

    korvane::SessionNotices notices;
    const QStringList plain{QStringLiteral("plain"), QStringLiteral("state")};
    EXPECT_EQ(notices.Untold(plain), plain);
    EXPECT_EQ(notices.Untold({QStringLiteral("plain"), QStringLiteral("new")}),
              QStringList{QStringLiteral("new")});
}

// One question per upload batch: its registered names answered one after another, an answer
// taken for the rest; the texts say what the server holds and what would replace it, and the
// summary what replaced what and what was skipped.
TEST(ReplaceChoices, EachNameReplacedOrSkippedAndTheRestAtOnce) {
    using Choice = korvane::ReplaceChoices::Choice;
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("new.txt"));
    QFile file(local);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("1234567");
    file.close();
    const korvane::db::StoredFile stored{
        QStringLiteral("1_a"), 5, QString(), 501, QString(), QStringLiteral("2026-01-02 03:04:05")};
    const korvane::NameConflict a =
        korvane::DescribeConflict(QStringLiteral("1_a"), stored, QStringLiteral("张三"), local);
    EXPECT_EQ(a.existing, QStringLiteral("5 B，张三于2026-01-02 03:04:05上传"));
    EXPECT_EQ(a.incoming,
              QStringLiteral("7 B，修改于") +
                  QFileInfo(local).lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    EXPECT_EQ(korvane::DescribeConflict(QStringLiteral("1_b"), std::nullopt, {}, local).existing,
              QStringLiteral("已登记，大小和上传者没有记录"));
    const QList<korvane::NameConflict> conflicts{
        a,
        {QStringLiteral("1_b"), QStringLiteral("b old"), QStringLiteral("b new")},
        {QStringLiteral("1_c"), QStringLiteral("c old"), QStringLiteral("c new")}};
    struct Row {
        const char* name;
        QList<std::pair<Choice, bool>> answers;  // a choice, and whether for the rest
        QStringList skipped;
    };
    const Row rows[] = {
        {"each its own",
         {{Choice::Replace, false}, {Choice::Skip, false}, {Choice::Replace, false}},
         {QStringLiteral("1_b")}},
        {"the rest skipped after the first",
         {{Choice::Replace, false}, {Choice::Skip, true}},
         {QStringLiteral("1_b"), QStringLiteral("1_c")}},
        {"all replaced at once", {{Choice::Replace, true}}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        korvane::ReplaceChoices choices(conflicts);
        EXPECT_TRUE(StartsWith(choices.Question(),
                               QStringLiteral("服务器上已有登记过的同名文件[1_a]（5 B，")));
        for (const auto& [choice, rest] : row.answers) {
            ASSERT_FALSE(choices.Done());
            choices.Answer(choice, rest);
        }
        EXPECT_TRUE(choices.Done());
        EXPECT_EQ(choices.Skipped(), row.skipped);
        EXPECT_EQ(choices.ReplacedNote(QStringLiteral("1_a")),
                  QStringLiteral("（替换了原文件：5 B，张三于2026-01-02 03:04:05上传）"));
        EXPECT_EQ(choices.ReplacedNote(QStringLiteral("1_b")).isEmpty(),
                  row.skipped.contains(QStringLiteral("1_b")));
    }

    using R = korvane::TransferQueue::Result;
    R skipped{QStringLiteral("1_b"), false, false, {}};
    skipped.skipped = true;
    const QList<R> batch{{QStringLiteral("1_a"), true, false, {}, QStringLiteral("（替换了…）")},
                         skipped};
    const korvane::BatchEnd end = korvane::JudgeBatch(korvane::Direction::Upload, batch);
    EXPECT_EQ(end.summary, QStringLiteral("已上传1个文件：1_a（替换了…）\n跳过1个文件：1_b"));
    EXPECT_TRUE(end.allSucceeded && end.clearInputs) << "a skip is the operator's choice";
}

// What the operator reads after downloads: where the file is, that an equal one was there,
// which file was kept beside it, which earlier version came (or, for a row from before versions
// were kept, that the newest did); a batch names its folder.
TEST(TransferReports, DownloadsSayWhereAndWhich) {
    const QString saved = QStringLiteral("下载成功！保存在[%1]，请查看！");
    struct Row {
        const char* savedAs;
        bool alreadyThere;
        int version;
        bool earlier;
        bool replacedRow;
        QString said;
    };
    const Row rows[] = {
        {"/d/7_a.txt", false, 0, false, false, saved.arg("/d/7_a.txt")},
        {"/d/7_a.txt", true, 0, false, false,
         QStringLiteral("本地已有与登记相同的文件[/d/7_a.txt]，未重新下载。")},
        {"/d/7_a (1).txt", false, 0, false, false,
         saved.arg("/d/7_a (1).txt") +
             QStringLiteral("\n本地的[/d/7_a.txt]是另一个文件，已保留。")},
        {"/d/7_a.txt", false, 2, true, true,
         saved.arg("/d/7_a.txt") +
             QStringLiteral("\n该记录的文件之后被同名文件替换过，下载的是该记录当时的文件（第2"
                            "版），文件名为[7_a.txt]。")},
        {"/d/7_a.txt", false, 0, false, true,
         saved.arg("/d/7_a.txt") +
             QStringLiteral("\n该记录的文件已被之后上传的同名文件替换，下载的是最新的文件。")},
        {"/d/7_a.txt", false, 3, false, true, saved.arg("/d/7_a.txt")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.said.toStdString());
        korvane::PlannedDownload download;
        download.local = QStringLiteral("/d/7_a.txt");
        download.replacedRow = row.replacedRow;
        download.plan.version = row.version;
        download.plan.earlier = row.earlier;
        korvane::TransferOutcome outcome;
        outcome.savedAs = QString::fromUtf8(row.savedAs);
        outcome.alreadyThere = row.alreadyThere;
        EXPECT_EQ(korvane::DownloadedMessage(download, outcome), row.said);
    }
    using R = korvane::TransferQueue::Result;
    const QList<R> batch{{"7_a.txt", true, false, {}, {}, false, "/d/7_a.txt", false},
                         {"7_b.txt", true, false, {}, {}, false, "/d/7_b (1).txt", false},
                         {"7_c.txt", true, false, {}, {}, false, "/d/7_c.txt", true},
                         {"7_d.txt", false, false, "why", {}, false, {}, false}};
    EXPECT_EQ(korvane::TransferQueue::Summary(korvane::Direction::Download, batch),
              QStringLiteral("已下载2个文件到[/d]：7_a.txt、7_b (1).txt\n"
                             "1个文件已在[/d]中，与登记的相同，未重新下载：7_c.txt\n"
                             "未下载1个文件：\n7_d.txt：why"));
}

// The window's reads on a real database, each leaving the query closed: the order types, the
// registered names among some, the record of a file, and the marks of a search.
TEST_F(RunSqlTest, TheWindowsReads) {
    db->Exec(QStringLiteral(
        "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','1','合同')"));
    db->Exec(QStringLiteral(
        "insert into zy.res_download_path values(7,1,'7_a''s.txt',501,'2020-01-01 00:00:00','')"));
    db->Exec(QStringLiteral(
        "insert into zy.res_download_path values(7,1,'7_a''s.txt',501,'2021-01-01 00:00:00','')"));
    korvane::RegistrationReads reads(query);
    EXPECT_EQ(reads.OrderTypeItems(), QStringList({"[0] 所有类型", "[1] 合同"}));
    const auto registered =
        reads.RegisteredAmong({QStringLiteral("7_a's.txt"), QStringLiteral("7_new.txt")});
    EXPECT_EQ(registered.names, QStringList{QStringLiteral("7_a's.txt")});
    EXPECT_TRUE(registered.unreadable.isEmpty());
    EXPECT_FALSE(reads.Recorded(QStringLiteral("7_a's.txt")).has_value()) << "no record yet";
    ListRows list;
    list.Add({{"7", "1", "7_a's.txt", 501, "2020-01-01 00:00:00", ""},
              {"7", "1", "7_a's.txt", 501, "2021-01-01 00:00:00", ""}});
    korvane::SearchConditions c;
    c.id = QStringLiteral("7");
    reads.Mark(c, list.model);
    list.model.sort(RegistrationModel::kDate, Qt::AscendingOrder);
    EXPECT_TRUE(list.model.Replaced(0));
    EXPECT_FALSE(list.model.Replaced(1));
    EXPECT_FALSE(query.Active());

    connection.SetConnected(false);  // the database is gone: every name counts as registered
    const auto unknown = reads.RegisteredAmong({QStringLiteral("7_new.txt")});
    EXPECT_EQ(unknown.names, QStringList{QStringLiteral("7_new.txt")});
    EXPECT_FALSE(unknown.unreadable.isEmpty());
}

}  // namespace
