#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>

#include "ConnectionString.h"
#include "DbError.h"
#include "GuiServices.h"
#include "SqlDialect.h"
#include "SqlRunner.h"
#include "SqlScript.h"
#include "Statements.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "support/DialogRecorder.h"
#include "support/FtpServers.h"
#include "support/PostgresServer.h"
#include "support/TestDatabase.h"
#include "support/TextChecks.h"

using korvane::db::Backend;
using korvane::db::BridgeSql;
using korvane::db::DbError;
using korvane::db::MapConnectionString;
using korvane::db::TADOConnection;
using korvane::db::TADOQuery;
using korvane::test::Contains;
using korvane::test::EndsWith;
using korvane::test::StartsWith;
using korvane::test::TestDatabase;

namespace {

QString ErrorOf(const QString& connectionString) {
    try {
        MapConnectionString(connectionString);
    } catch (const DbError& e) {
        return e.Message();
    }
    return QString();
}

TEST(ConnectionString, MapsEachProvider) {
    auto ora = MapConnectionString(
        QStringLiteral("Provider=MSDAORA.1;Password=tiger;User ID=scott;Data Source=ORCL;"
                       "Persist Security Info=True"));
    EXPECT_EQ(ora.backend, Backend::Oracle);
    EXPECT_EQ(ora.driver, QStringLiteral("QOCI"));
    EXPECT_EQ(ora.databaseName, QStringLiteral("ORCL"));
    EXPECT_EQ(ora.user, QStringLiteral("scott"));
    EXPECT_EQ(ora.password, QStringLiteral("tiger"));

    auto ora2 =
        MapConnectionString(QStringLiteral("provider=OraOLEDB.Oracle;data source=//db:1521/svc"));
    EXPECT_EQ(ora2.driver, QStringLiteral("QOCI"));
    EXPECT_EQ(ora2.databaseName, QStringLiteral("//db:1521/svc"));

    auto noProvider = MapConnectionString(QStringLiteral("Data Source=ORCL"));
    EXPECT_EQ(noProvider.backend, Backend::Oracle) << "the component's own provider applies";

    auto lite = MapConnectionString(QStringLiteral("Provider=SQLite;Data Source=\"/d/a;b.db\""));
    EXPECT_EQ(lite.driver, QStringLiteral("QSQLITE"));
    EXPECT_EQ(lite.databaseName, QStringLiteral("/d/a;b.db")) << "quoted values keep ';'";

    auto pg = MapConnectionString(QStringLiteral(
        "Provider=PostgreSQL;Data Source=dbhost:5433/korvane;User ID=op;Password=p=1"));
    EXPECT_EQ(pg.driver, QStringLiteral("QPSQL"));
    EXPECT_EQ(pg.host, QStringLiteral("dbhost"));
    EXPECT_EQ(pg.port, 5433);
    EXPECT_EQ(pg.databaseName, QStringLiteral("korvane"));
    EXPECT_EQ(pg.password, QStringLiteral("p=1"));
    EXPECT_EQ(MapConnectionString(QStringLiteral("Provider=PostgreSQL;Data Source=h/db")).port, -1);

    auto odbc = MapConnectionString(QStringLiteral("Provider=MSDASQL.1;DSN=korvane;UID=x"));
    EXPECT_EQ(odbc.driver, QStringLiteral("QODBC"));
    EXPECT_EQ(odbc.databaseName, QStringLiteral("korvane"));
    EXPECT_EQ(odbc.user, QStringLiteral("x"));
    // A driver connection string goes to ODBC whole, without the provider and the credentials.
    auto driver = MapConnectionString(
        QStringLiteral("Provider=MSDASQL;Driver={PostgreSQL Unicode};Server=db;Port=5432;"
                       "Database=korvane;User ID=op;Password=pw"));
    EXPECT_EQ(driver.databaseName,
              QStringLiteral("database=korvane;driver={PostgreSQL Unicode};port=5432;server=db"));
    EXPECT_EQ(driver.user, QStringLiteral("op"));
    EXPECT_EQ(driver.password, QStringLiteral("pw"));
}

TEST(ConnectionString, BadTextsNameWhatIsWrong) {
    EXPECT_TRUE(Contains(ErrorOf(QString()), QStringLiteral("为空")));
    EXPECT_TRUE(Contains(ErrorOf(QStringLiteral("  ; ;")), QStringLiteral("为空")));
    EXPECT_TRUE(
        Contains(ErrorOf(QStringLiteral("Provider=SQLite;garbage")), QStringLiteral("garbage")));
    EXPECT_TRUE(
        Contains(ErrorOf(QStringLiteral("Provider=Foo.1;Data Source=x")), QStringLiteral("Foo.1")));
    EXPECT_TRUE(
        Contains(ErrorOf(QStringLiteral("Provider=SQLite")), QStringLiteral("Data Source")));
    EXPECT_TRUE(Contains(ErrorOf(QStringLiteral("Provider=PostgreSQL;Data Source=hostonly")),
                         QStringLiteral("hostonly")));
    EXPECT_TRUE(Contains(ErrorOf(QStringLiteral("Provider=PostgreSQL;Data Source=h:99999/db")),
                         QStringLiteral("99999")));
    EXPECT_TRUE(Contains(ErrorOf(QStringLiteral("Provider=SQLite;Data Source='/x.db")),
                         QStringLiteral("引号")));
    EXPECT_TRUE(Contains(ErrorOf(QStringLiteral("=x")), QStringLiteral("键名")));
    // A password cut at an unquoted ';' is never shown; in quotes it is whole.
    const QString cut =
        ErrorOf(QStringLiteral("Provider=PostgreSQL;Data Source=h/db;User ID=u;Password=se;cret"));
    EXPECT_TRUE(Contains(cut, QStringLiteral("双引号"))) << cut.toStdString();
    EXPECT_FALSE(Contains(cut, QStringLiteral("cret"))) << cut.toStdString();
    EXPECT_EQ(MapConnectionString(QStringLiteral("Provider=PostgreSQL;Data Source=h/db;"
                                                 "Password=\"se;cret\";User ID=u"))
                  .password,
              QStringLiteral("se;cret"));
}

// The error that connecting with text raises, or "connected".
QString ConnectError(const QString& text) {
    TADOConnection c;
    c.SetConnectionString(text);
    try {
        c.SetConnected(true);
    } catch (const DbError& e) {
        EXPECT_FALSE(c.Connected());
        return e.Message();
    }
    return QStringLiteral("connected");
}

TEST(Connection, FailuresRaiseClearErrors) {
    const auto connectError = ConnectError;
    EXPECT_TRUE(Contains(connectError(QStringLiteral("Provider=MSDAORA.1;Data Source=ORCL")),
                         QStringLiteral("QOCI")));
    EXPECT_TRUE(
        Contains(connectError(QStringLiteral("Provider=SQLite;Data Source=/no/such/dir/k.db")),
                 QStringLiteral("/no/such/dir")));
    if (geteuid() != 0) {
        EXPECT_TRUE(Contains(connectError(QStringLiteral("Provider=SQLite;Data Source=/proc/k.db")),
                             QStringLiteral("不可写")));
    }
    EXPECT_TRUE(Contains(connectError(QString()), QStringLiteral("为空")));
}

TEST(Connection, AMissingSqliteFileIsNamedAndNeverCreated) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("typo.db"));
    const QString conn = QStringLiteral("Provider=SQLite;Data Source=") + path;
    const QString error = ConnectError(conn);
    EXPECT_TRUE(Contains(error, QStringLiteral("数据库文件不存在"))) << error.toStdString();
    EXPECT_TRUE(Contains(error, path)) << error.toStdString();
    EXPECT_TRUE(QDir(dir.path()).isEmpty()) << "no file, no schema file left behind";
    // A database without one of its schema files is as missing.
    korvane::db::TADOConnection creator;
    creator.SetConnectionString(conn);
    creator.SetCreateMissing(true);
    creator.SetConnected(true);
    creator.Close();
    QFile::remove(path + QStringLiteral(".xg"));
    EXPECT_TRUE(Contains(ConnectError(conn), path + QStringLiteral(".xg")));
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".xg")));
}

TEST(Dialect, SysdateIsBridgedOutsideLiteralsOnly) {
    const QString sql = QStringLiteral(
        "insert into t values(sysdate,'sysdate',SYSDATE) -- sysdate\n/* sysdate */ x.sysdate "
        "my_sysdate");
    EXPECT_EQ(BridgeSql(sql, Backend::SQLite),
              QStringLiteral("insert into t values(sysdate(),'sysdate',sysdate()) -- sysdate\n"
                             "/* sysdate */ x.sysdate my_sysdate"));
    EXPECT_EQ(BridgeSql(QStringLiteral("select sysdate from dual"), Backend::PostgreSQL),
              QStringLiteral("select localtimestamp(0) from dual"));
    EXPECT_EQ(BridgeSql(sql, Backend::Oracle), sql);
    EXPECT_EQ(BridgeSql(QStringLiteral("'it''s sysdate'"), Backend::SQLite),
              QStringLiteral("'it''s sysdate'"));
    EXPECT_EQ(BridgeSql(QStringLiteral("'unterminated sysdate"), Backend::SQLite),
              QStringLiteral("'unterminated sysdate"));
}

TEST(SqlScript, SplitsAtSemicolonsOutsideLiteralsAndComments) {
    const auto parts = korvane::db::SplitSqlScript(
        QStringLiteral("-- header; with semicolon\ncreate table a (x int);\ninsert into a "
                       "values(';');\n\n-- end\n"));
    ASSERT_EQ(parts.size(), 2);
    EXPECT_TRUE(EndsWith(parts[0], QStringLiteral("create table a (x int)")));
    EXPECT_EQ(parts[1], QStringLiteral("insert into a values(';')"));
}

// The script splitter and the sysdate bridge read quotes and comments alike: the cases where
// they once disagreed. bridged is the text on SQLite, null where nothing is bridged.
TEST(SqlLexer, SplitterAndBridgeReadQuotesAndCommentsAlike) {
    struct Case {
        const char* sql;
        QStringList statements;
        const char* bridged;
    };
    const Case cases[] = {
        {"create table a (x int) /* a; b */;insert into a values(1)",
         {"create table a (x int) /* a; b */", "insert into a values(1)"},
         nullptr},
        {"/* it's */ select 1; select 2", {"/* it's */ select 1", "select 2"}, nullptr},
        {"-- only\n/* a comment; */\n;select 1;/**/ -- end", {"select 1"}, nullptr},
        {"insert into a values('it''s; ok');select \"a\"\"b;\" from a",
         {"insert into a values('it''s; ok')", "select \"a\"\"b;\" from a"},
         nullptr},
        {"select sysdate /* sysdate; */, 'sysdate;' from dual",
         {"select sysdate /* sysdate; */, 'sysdate;' from dual"},
         "select sysdate() /* sysdate; */, 'sysdate;' from dual"},
        {"select 'a''/*', sysdate from dual; select 2",
         {"select 'a''/*', sysdate from dual", "select 2"},
         "select 'a''/*', sysdate() from dual; select 2"},
    };
    for (const Case& c : cases) {
        const QString sql = QString::fromUtf8(c.sql);
        EXPECT_EQ(korvane::db::SplitSqlScript(sql).join(u'|').toStdString(),
                  c.statements.join(u'|').toStdString());
        EXPECT_EQ(BridgeSql(sql, Backend::SQLite).toStdString(),
                  c.bridged == nullptr ? c.sql : c.bridged);
    }
}

class DatabaseQuery : public korvane::test::ConnectedBackendTest {
protected:
    bool OnSqlite() const { return GetParam() == Backend::SQLite; }
    void Exec(const QString& sql) { korvane::db::ExecStatement(query, sql); }
    void Open(const QString& sql) { korvane::db::OpenStatement(query, sql); }

    TADOQuery query{connection};
};

TEST_P(DatabaseQuery, TheDialectIsThatOfTheDatabaseBehindTheConnection) {
    EXPECT_EQ(connection.Dialect(), GetParam() == Backend::Odbc ? Backend::PostgreSQL : GetParam());
}

TEST_P(DatabaseQuery, RunsTheModulesThreeStatementShapes) {
    Exec(QStringLiteral(
        "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','1','A')"));
    Exec(QStringLiteral(
        "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','2','B')"));
    Exec(QStringLiteral("insert into xg.sys_base_type values('OTHER','9','Z')"));
    Open(
        QStringLiteral("select code_value,cname from xg.sys_base_type where "
                       "enum_name='RES_DOWNLOAD_PATH@DOWN_TYPE'"));
    QStringList items;
    while (!query.Eof()) {
        items << QStringLiteral("[%1] %2").arg(query.FieldAsString(QStringLiteral("code_value")),
                                               query.FieldAsString(QStringLiteral("cname")));
        query.Next();
    }
    EXPECT_EQ(items, QStringList({QStringLiteral("[1] A"), QStringLiteral("[2] B")}));

    Exec(QStringLiteral(
        "insert into zy.res_download_path(down_id,down_type,down_path,op_id,create_date,remark) "
        "values(1024,3,'1024_contract.txt',501,sysdate,'signed copy')"));
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    const QString tomorrow = QDate::currentDate().addDays(1).toString(QStringLiteral("yyyyMMdd"));
    Open(QStringLiteral(
             "select * from zy.res_download_path where 1=1 and down_id=1024 and "
             "down_type=3 and down_path like '%%contract%%' and "
             "create_date>=to_date('%1','YYYYMMDD') and create_date<to_date('%2','YYYYMMDD')")
             .arg(today, tomorrow));
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsString(QStringLiteral("down_id")), QStringLiteral("1024"));
    EXPECT_EQ(query.FieldAsString(QStringLiteral("down_type")), QStringLiteral("3"));
    EXPECT_EQ(query.FieldAsString(QStringLiteral("down_path")),
              QStringLiteral("1024_contract.txt"));
    EXPECT_EQ(query.FieldAsInteger(QStringLiteral("op_id")), 501);
    EXPECT_EQ(query.FieldAsString(QStringLiteral("remark")), QStringLiteral("signed copy"));
    const QString created = query.FieldAsString(QStringLiteral("create_date"));
    EXPECT_TRUE(QDateTime::fromString(created, QStringLiteral("yyyy-MM-dd hh:mm:ss")).isValid())
        << created.toStdString();
    EXPECT_TRUE(StartsWith(created, QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
    query.Next();
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(query.RecordCount(), 1);
}

TEST_P(DatabaseQuery, DateRangeIncludesBeginDayAndExcludesEndDay) {
    for (const char* when : {"2008-03-01 00:00:00", "2008-03-01 23:59:59", "2008-03-02 00:00:00",
                             "2008-02-29 23:59:59"}) {
        Exec(QStringLiteral("insert into zy.res_download_path values(1,1,'f',1,'%1','')")
                 .arg(QLatin1String(when)));
    }
    Open(QStringLiteral(
        "select * from zy.res_download_path where create_date>=to_date('20080301','YYYYMMDD') "
        "and create_date<to_date('20080302','YYYYMMDD')"));
    EXPECT_EQ(query.RecordCount(), 2);
    Open(QStringLiteral(
        "select * from zy.res_download_path where create_date>=to_date('20080301','YYYYMMDD') "
        "and create_date<to_date('20080301','YYYYMMDD')"));
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(query.RecordCount(), 0);
}

TEST_P(DatabaseQuery, RecordCountKeepsThePosition) {
    for (int i = 0; i < 5; ++i) {
        Exec(QStringLiteral("insert into zy.res_download_path values(%1,1,'f',1,sysdate,'')")
                 .arg(i));
    }
    Open(QStringLiteral("select * from zy.res_download_path order by down_id"));
    query.Next();
    EXPECT_EQ(query.RecordCount(), 5);
    EXPECT_EQ(query.FieldAsString(QStringLiteral("down_id")), QStringLiteral("1"));
    QStringList rest;
    for (query.Next(); !query.Eof(); query.Next()) {
        rest << query.FieldAsString(QStringLiteral("down_id"));
    }
    EXPECT_EQ(rest, QStringList({QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}));
    EXPECT_EQ(query.RecordCount(), 5);
}

TEST_P(DatabaseQuery, FailuresRaiseAndLeaveNoResultSet) {
    EXPECT_THROW(Open(QStringLiteral("select * from zy.no_such_table")), DbError);
    EXPECT_TRUE(query.Eof());
    EXPECT_THROW(query.RecordCount(), DbError);
    EXPECT_THROW(
        Exec(QStringLiteral("insert into zy.res_download_path values(1,1,'f',1,sysdate,'")),
        DbError);
    if (OnSqlite()) {
        EXPECT_THROW(Open(QStringLiteral("select to_date('2008-03-01','YYYYMMDD')")), DbError);
        EXPECT_THROW(Open(QStringLiteral("select to_date('20080301','DD.MM.YYYY')")), DbError);
    }
    Exec(QStringLiteral("insert into zy.res_download_path values(1,1,'f',1,sysdate,'')"));
    Open(QStringLiteral("select * from zy.res_download_path"));
    EXPECT_THROW(query.FieldAsString(QStringLiteral("nope")), DbError);
    EXPECT_THROW(query.FieldAsInteger(QStringLiteral("down_path")), DbError);
    query.Close();
    EXPECT_THROW(query.FieldAsString(QStringLiteral("down_id")), DbError);
}

// A site whose server keeps backslashes as escapes (standard_conforming_strings=off): doubled
// quotes must still close nothing, in the registration's INSERT and in the search's pattern.
TEST_P(DatabaseQuery, HostileTextsStayInsideTheirLiterals) {
    struct ServerDefault {
        TestDatabase* db = nullptr;
        ~ServerDefault() {
            if (db != nullptr) {
                db->Exec(
                    QStringLiteral("do $$ begin execute format('alter database %I reset "
                                   "standard_conforming_strings', current_database()); end $$"));
            }
        }
    } restore;
    if (!OnSqlite()) {
        db->Exec(QStringLiteral(
            "do $$ begin execute format('alter database %I set standard_conforming_strings = "
            "off', current_database()); end $$"));
        restore.db = db.get();
        connection.Close();
        connection.SetConnected(true);
        Open(QStringLiteral(
            "select reset_val from pg_settings where name='standard_conforming_strings'"));
        ASSERT_EQ(query.FieldAsString(QStringLiteral("reset_val")), QStringLiteral("off"));
    }
    Exec(QStringLiteral("insert into xg.sys_base_type values('SECRET','7','hidden')"));
    const QString remark =
        QStringLiteral("x\\'); insert into xg.sys_base_type values($$PWN$$,$$9$$,$$pwn$$); --");
    QString reason;
    ASSERT_TRUE(
        korvane::TryRunSQL(query,
                           korvane::BuildInsertStatement(QStringLiteral("1"), QStringLiteral("1"),
                                                         QStringLiteral("1_a.txt"), 501, remark),
                           &reason))
        << reason.toStdString();
    korvane::SearchConditions c;
    c.name =
        QStringLiteral("%\\' union select 1,1,cname,1,null,enum_name from xg.sys_base_type --");
    ASSERT_TRUE(korvane::TryRunSQL(query, korvane::BuildSearchStatement(c), &reason))
        << reason.toStdString();
    QStringList listed;
    for (; !query.Eof(); query.Next()) {
        listed << query.FieldAsString(QStringLiteral("down_path"));
    }
    EXPECT_EQ(listed, QStringList()) << "no row of another table";
    Open(QStringLiteral("select down_path,remark from zy.res_download_path"));
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsString(QStringLiteral("down_path")), QStringLiteral("1_a.txt"));
    EXPECT_EQ(query.FieldAsString(QStringLiteral("remark")), remark);
    Open(QStringLiteral("select enum_name from xg.sys_base_type"));
    EXPECT_EQ(query.RecordCount(), 1) << "no second statement";

    const QString withNul =
        QStringLiteral("a") + QChar(0) + QStringLiteral("'); delete from x; --");
    EXPECT_FALSE(
        korvane::TryRunSQL(query,
                           korvane::BuildInsertStatement(QStringLiteral("2"), QStringLiteral("1"),
                                                         QStringLiteral("2_b"), 501, withNul),
                           &reason));
    EXPECT_TRUE(Contains(reason, QStringLiteral("NUL"))) << reason.toStdString();
    Open(QStringLiteral("select * from zy.res_download_path"));
    EXPECT_EQ(query.RecordCount(), 1);
}

// Another connection holds the table longer than the bound: the statement gives up within the
// bound and a second, and says the database is busy.
TEST_P(DatabaseQuery, ALockHeldLongerThanTheBoundEndsInOneBusyMessage) {
    TADOConnection holder;
    holder.SetConnectionString(db->ConnectionString());
    holder.SetConnected(true);
    holder.BeginTransaction();
    TADOQuery held(holder);
    korvane::db::ExecStatement(
        held, OnSqlite() ? QStringLiteral("insert into zy.res_download_path values(1,1,'f',1,"
                                          "sysdate,'')")
                         : QStringLiteral("lock table zy.res_download_path in exclusive mode"));
    connection.Close();
    connection.SetTimeoutSeconds(1);
    connection.SetConnected(true);
    korvane::test::DialogRecorder dialogs;
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(korvane::RunSQL(
        query, QStringLiteral("insert into zy.res_download_path values(2,1,'g',1,sysdate,'')")));
    const qint64 ms = waited.elapsed();
    RecordProperty("waited_ms", static_cast<int>(ms));
    EXPECT_GE(ms, 900);
    EXPECT_LT(ms, 2000) << "within the bound and a second";
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(Contains(dialogs.requests[0].text, QStringLiteral("数据库忙")))
        << dialogs.requests[0].text.toStdString();
    holder.Rollback();
}

// A connection the server ended, as its restart does, is made again once with the same
// connection string: a query runs again, a change runs once; where no connection can be made,
// one message, and the next statement tries again.
TEST_P(DatabaseQuery, ALostConnectionIsMadeAgainOnce) {
    if (OnSqlite()) {
        GTEST_SKIP() << "a database file does not go away";
    }
    // A role of this test's own, so that refusing its logins disturbs nobody else.
    Open(QStringLiteral("select 'lost_' || current_database() as name"));
    const QString role = query.FieldAsString(QStringLiteral("name"));
    const auto admin = [this, &role](const QString& sql) { db->Exec(sql.arg(role)); };
    db->Exec(QStringLiteral("create role %1 superuser login password '%2'")
                 .arg(role, korvane::test::PostgresServer::Password()));
    struct Drop {
        std::function<void()> run;
        ~Drop() { run(); }
    } dropRole{[&] {
        connection.Close();
        admin(QStringLiteral("drop role %1"));
    }};
    connection.Close();
    connection.SetConnectionString(db->ConnectionString().replace(
        QStringLiteral("User ID=%1;").arg(korvane::test::PostgresServer::User()),
        QStringLiteral("User ID=%1;").arg(role)));
    connection.SetConnected(true);
    const auto endSession = [&] {
        Open(QStringLiteral("select pg_backend_pid() as pid"));
        const QString pid = query.FieldAsString(QStringLiteral("pid"));
        query.Close();
        db->Exec(QStringLiteral("select pg_terminate_backend(%1, 5000)").arg(pid));
    };
    const QString select = QStringLiteral("select * from zy.res_download_path");
    Exec(QStringLiteral("insert into zy.res_download_path values(1,1,'f',1,sysdate,'')"));
    korvane::test::DialogRecorder dialogs;
    endSession();
    ASSERT_TRUE(korvane::RunSQL(query, select));
    EXPECT_EQ(query.RecordCount(), 1);
    endSession();
    ASSERT_TRUE(korvane::RunSQL(
        query, QStringLiteral("insert into zy.res_download_path values(2,1,'g',1,sysdate,'')")));
    Open(select);
    EXPECT_EQ(query.RecordCount(), 2) << "the change ran once";
    EXPECT_EQ(dialogs.requests.size(), 0);

    admin(QStringLiteral("alter role %1 nologin"));
    endSession();
    EXPECT_FALSE(korvane::RunSQL(query, select));
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(Contains(dialogs.requests[0].text, QStringLiteral("重新连接失败")))
        << dialogs.requests[0].text.toStdString();
    admin(QStringLiteral("alter role %1 login"));
    ASSERT_TRUE(korvane::RunSQL(query, select));
    EXPECT_EQ(query.RecordCount(), 2);
}

TEST_P(DatabaseQuery, OrderNumbersTooLongForAnIntegerAreRefusedNotRounded) {
    EXPECT_THROW(
        Exec(QStringLiteral(
            "insert into zy.res_download_path values(12345678901234567890123,1,'f',1,sysdate,'')")),
        DbError);
    Exec(QStringLiteral(
        "insert into zy.res_download_path values(123456789012345678,1,'f',1,sysdate,'')"));
    Open(QStringLiteral("select * from zy.res_download_path"));
    EXPECT_EQ(query.FieldAsString(QStringLiteral("down_id")), QStringLiteral("123456789012345678"));
}

TEST_P(DatabaseQuery, WithoutConnectionStatementsFail) {
    connection.Close();
    EXPECT_THROW(Open(QStringLiteral("select 1")), DbError);
    EXPECT_THROW(Exec(QStringLiteral("delete from zy.res_download_path")), DbError);
}

TEST_P(DatabaseQuery, TwoConnectionsSeeEachOthersRows) {
    TADOConnection other;
    other.SetConnectionString(db->ConnectionString());
    other.SetConnected(true);
    TADOQuery otherQuery(other);
    otherQuery.AddSQL(
        QStringLiteral("insert into zy.res_download_path values(7,1,'f',1,sysdate,'')"));
    otherQuery.ExecSQL();
    Open(QStringLiteral("select * from zy.res_download_path"));
    EXPECT_EQ(query.RecordCount(), 1);
    if (OnSqlite()) {
        const QString file = korvane::db::MapConnectionString(db->ConnectionString()).databaseName;
        EXPECT_TRUE(QFile::exists(file + QStringLiteral(".zy")));
    }
}

// A shared server's own troubles --------------------------------------------------------------

TEST(Postgres, BadPasswordDownServerAndMissingSchemaAreClear) {
    auto& server = korvane::test::PostgresServer::Shared();
    if (!server.CreateDatabase(QStringLiteral("korvane_noschema"))) {
        GTEST_SKIP() << server.Error().toStdString();
    }
    const auto connectError = ConnectError;
    const QString bad = connectError(
        server.ConnectionString(QStringLiteral("korvane_noschema"), QStringLiteral("wrong")));
    EXPECT_TRUE(Contains(bad, QStringLiteral("连接数据库失败"))) << bad.toStdString();
    EXPECT_TRUE(Contains(bad, QStringLiteral("password"))) << bad.toStdString();
    const QString down = connectError(
        QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1:%1/x;User ID=a;Password=b")
            .arg(korvane::test::FreePort()));
    EXPECT_TRUE(Contains(down, QStringLiteral("连接数据库失败"))) << down.toStdString();

    TADOConnection c;
    c.SetConnectionString(server.ConnectionString(QStringLiteral("korvane_noschema")));
    c.SetConnected(true);
    TADOQuery q(c);
    korvane::test::DialogRecorder dialogs;
    EXPECT_FALSE(korvane::RunSQL(q, QStringLiteral("select * from zy.res_download_path")));
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(StartsWith(dialogs.requests[0].text, QStringLiteral("执行SQL出错了呀！")));
    c.Close();
    server.DropDatabase(QStringLiteral("korvane_noschema"));
}

INSTANTIATE_TEST_SUITE_P(On, DatabaseQuery,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL, Backend::Odbc),
                         korvane::test::BackendTestName);

}  // namespace
