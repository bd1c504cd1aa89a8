// Applies schema scripts and runs statements through the module's own data layer, so that set-up
// scripts and tests use exactly the connection mapping and dialect bridge that the window uses.
//
//   korvane-dbtool --conn "Provider=SQLite;Data Source=/path/korvane.db" --script schema.sql
//   korvane-dbtool --conn "..." --exec "insert into ..."
//   korvane-dbtool --conn "..." --query "select ..."   (rows as tab-separated text)
//   korvane-dbtool --conn "..." --upgrade   (adds the tables of our own, rows untouched)
//   korvane-dbtool --check [--repair] [--config host.ini]   (registrations against the server)
// The password comes from --password-file, $KORVANE_DB_PASSWORD or --ask-password rather than
// from --conn, which every user may read in the process list.
#include <termios.h>
#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSqlRecord>

#include <cstdio>
#include <string>

#include "DbError.h"
#include "FileRecord.h"
#include "GuiServices.h"
#include "HostConfig.h"
#include "SiteCheck.h"
#include "SqlScript.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "Translate.h"

using korvane::Tr;

using korvane::db::DbError;
using korvane::db::TADOConnection;
using korvane::db::TADOQuery;

namespace {
void PrintRows(TADOQuery& query, const QString& sql, const QStringList& columns) {
    korvane::db::OpenStatement(query, sql);
    while (!query.Eof()) {
        QStringList row;
        for (const QString& c : columns) {
            row << query.FieldAsString(c);
        }
        std::printf("%s\n", row.join(u'\t').toUtf8().constData());
        query.Next();
    }
}

// The schema script of the connection's dialect, as built into the tool.
QString SchemaScript(korvane::db::Backend dialect) {
    using korvane::db::Backend;
    const char* name = dialect == Backend::SQLite       ? "sqlite.sql"
                       : dialect == Backend::PostgreSQL ? "postgresql.sql"
                       : dialect == Backend::Oracle     ? "oracle.sql"
                                                        : nullptr;
    if (name == nullptr) {
        throw DbError(Tr("korvane", "不知道此数据库的 SQL 方言，不能升级"));
    }
    QFile file(QStringLiteral(":/schema/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) {
        throw DbError(Tr("korvane", "内置的建表脚本 %1 不可读").arg(QLatin1String(name)));
    }
    return QString::fromUtf8(file.readAll());
}

bool TableExists(TADOQuery& query, const QString& table) {
    try {
        korvane::db::OpenStatement(query, QStringLiteral("select count(*) as n from zy.") + table +
                                              QStringLiteral(" where 1=0"));
        query.Close();
        return true;
    } catch (const DbError&) {
        return false;
    }
}

// Adds the tables of our own where they are missing, and the registrations' indexes: the
// statements of the schema script that create them, and nothing else, so the registrations
// stay as they are.
void Upgrade(TADOQuery& query) {
    const QStringList statements =
        korvane::db::SplitSqlScript(SchemaScript(query.Connection().Dialect()));
    for (const char* own : {"res_download_file", "res_download_intent", "res_download_version",
                            "res_download_history"}) {
        const QString table = QLatin1String(own);
        if (TableExists(query, table)) {
            std::printf("korvane-dbtool: upgrade: zy.%s is there already\n", own);
            continue;
        }
        for (const QString& sql : statements) {
            if (sql.contains(table)) {
                korvane::db::ExecStatement(query, sql);
            }
        }
        std::printf("korvane-dbtool: upgrade: zy.%s created\n", own);
    }
    for (const QString& sql : statements) {
        if (sql.contains(QStringLiteral("index")) &&
            sql.contains(QStringLiteral("res_download_path"))) {
            try {
                korvane::db::ExecStatement(query, sql);
            } catch (const DbError&) {
                // Oracle has no "if not exists": an index that is there already.
            }
        }
    }
}

// A password for --conn from a file, the environment or the terminal, so that it does not stand in
// the command line, which every user of the machine may read (/proc/<pid>/cmdline).
QString ReadPassword(const QCommandLineParser& args) {
    if (args.isSet(QStringLiteral("password-file"))) {
        const QString path = args.value(QStringLiteral("password-file"));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            throw DbError(
                Tr("korvane-dbtool", "不能读取密码文件 %1：%2").arg(path, file.errorString()));
        }
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r')) {
            line.chop(1);
        }
        return QString::fromUtf8(line);
    }
    if (args.isSet(QStringLiteral("ask-password"))) {
        std::fprintf(stderr, "Password: ");
        std::fflush(stderr);
        termios saved{};
        const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
        if (terminal) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
        std::string line;
        for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
            line.push_back(static_cast<char>(c));
        }
        if (terminal) {
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
            std::fprintf(stderr, "\n");
        }
        return QString::fromStdString(line);
    }
    return qEnvironmentVariable("KORVANE_DB_PASSWORD");
}

bool CarriesPassword(const QString& connectionString) {
    try {
        const auto pairs = korvane::db::ParseConnectionPairs(connectionString);
        return !pairs.value(QStringLiteral("password")).isEmpty() ||
               !pairs.value(QStringLiteral("pwd")).isEmpty();
    } catch (const DbError&) {
        return false;  // connecting says what is wrong with it
    }
}

int Run(const QCommandLineParser& args) {
    if (args.isSet(QStringLiteral("check"))) {
        return korvane::RunSiteCheck(args.value(QStringLiteral("config")),
                                     args.isSet(QStringLiteral("repair")), stdout);
    }
    if (args.isSet(QStringLiteral("query")) && !args.isSet(QStringLiteral("columns"))) {
        std::fprintf(stderr, "korvane-dbtool: %s\n",
                     qUtf8Printable(Tr("korvane-dbtool", "--query 需要 --columns（要列出的列）")));
        return 2;
    }
    TADOConnection connection;
    connection.SetConnectionString(args.value(QStringLiteral("conn")));
    if (CarriesPassword(args.value(QStringLiteral("conn")))) {
        std::fprintf(stderr, "korvane-dbtool: %s\n",
                     qUtf8Printable(Tr("korvane-dbtool",
                                       "警告：--conn 中的密码本机所有用户都能看到；请改用 "
                                       "--password-file、KORVANE_DB_PASSWORD 或 --ask-password")));
    }
    connection.SetPassword(ReadPassword(args));
    // Applying schema scripts is how a database comes to be; anything else needs one already.
    connection.SetCreateMissing(args.isSet(QStringLiteral("script")));
    connection.SetConnected(true);
    TADOQuery query(connection);
    for (const QString& path : args.values(QStringLiteral("script"))) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(
                stderr, "korvane-dbtool: %s\n",
                qUtf8Printable(
                    Tr("korvane-dbtool", "不能读取脚本 %1：%2").arg(path, file.errorString())));
            return 1;
        }
        korvane::db::ApplyScript(query, QString::fromUtf8(file.readAll()));
    }
    if (args.isSet(QStringLiteral("upgrade"))) {
        Upgrade(query);
    }
    for (const QString& sql : args.values(QStringLiteral("exec"))) {
        korvane::db::ExecStatement(query, sql);
    }
    const QStringList columns =
        args.value(QStringLiteral("columns")).split(u',', Qt::SkipEmptyParts);
    for (const QString& sql : args.values(QStringLiteral("query"))) {
        PrintRows(query, sql, columns);
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvane-dbtool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
    // The operator's language, chosen as the host chooses it.
    InstallLanguage(telmaris::StartupLanguage(argc, argv));
    QCommandLineParser args;
    args.setApplicationDescription(
        Tr("korvane-dbtool", "建立并查询 korvane 数据库（见 korvane-dbtool(1)）。"));
    args.addHelpOption();
    args.addVersionOption();
    args.addOption({QStringLiteral("conn"), Tr("korvane-dbtool", "ADO 连接字符串"),
                    Tr("korvane-dbtool", "文本")});
    args.addOption({QStringLiteral("password-file"),
                    Tr("korvane-dbtool", "从此文件的第一行读取数据库密码"),
                    Tr("korvane-dbtool", "文件")});
    args.addOption(
        {QStringLiteral("ask-password"), Tr("korvane-dbtool", "在终端上询问数据库密码")});
    args.addOption({QStringLiteral("script"), Tr("korvane-dbtool", "要执行的建表脚本"),
                    Tr("korvane-dbtool", "文件")});
    args.addOption(
        {QStringLiteral("exec"), Tr("korvane-dbtool", "不返回行的语句"), QStringLiteral("sql")});
    args.addOption({QStringLiteral("query"),
                    Tr("korvane-dbtool", "返回行的语句，以制表符分隔列出（需要 --columns）"),
                    QStringLiteral("sql")});
    args.addOption({QStringLiteral("columns"),
                    Tr("korvane-dbtool", "--query 要列出的列，以逗号分隔"),
                    Tr("korvane-dbtool", "列名")});
    args.addOption(
        {QStringLiteral("upgrade"), Tr("korvane-dbtool", "为已有的数据库添加本版本需要的表")});
    args.addOption({QStringLiteral("check"),
                    Tr("korvane-dbtool", "将登记记录与存储（FTP 或 SFTP 服务器）上的文件比较")});
    args.addOption({QStringLiteral("repair"),
                    Tr("korvane-dbtool", "与 --check 一起：完成中断的上传（从不删除孤立文件）")});
    args.addOption(
        {QStringLiteral("config"),
         Tr("korvane-dbtool", "与 --check 一起：主机配置文件（默认与主机相同：全机的和本人的）"),
         Tr("korvane-dbtool", "文件")});
    args.process(app);
    try {
        return Run(args);
    } catch (const DbError& e) {
        std::fprintf(stderr, "korvane-dbtool: %s\n", e.what());
        return 1;
    }
}
