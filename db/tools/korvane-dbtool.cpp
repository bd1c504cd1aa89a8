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
            throw DbError(QStringLiteral("cannot read the password file %1").arg(path));
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
        const QString config = args.isSet(QStringLiteral("config"))
                                   ? args.value(QStringLiteral("config"))
                                   : telmaris::HostConfigPath();
        return korvane::RunSiteCheck(config, args.isSet(QStringLiteral("repair")), stdout);
    }
    if (args.isSet(QStringLiteral("query")) && !args.isSet(QStringLiteral("columns"))) {
        std::fprintf(stderr, "korvane-dbtool: --query needs --columns (the columns to print)\n");
        return 2;
    }
    TADOConnection connection;
    connection.SetConnectionString(args.value(QStringLiteral("conn")));
    if (CarriesPassword(args.value(QStringLiteral("conn")))) {
        std::fprintf(stderr,
                     "korvane-dbtool: warning: the password in --conn can be read by every user "
                     "of this machine; use --password-file, KORVANE_DB_PASSWORD or "
                     "--ask-password\n");
    }
    connection.SetPassword(ReadPassword(args));
    // Applying schema scripts is how a database comes to be; anything else needs one already.
    connection.SetCreateMissing(args.isSet(QStringLiteral("script")));
    connection.SetConnected(true);
    TADOQuery query(connection);
    for (const QString& path : args.values(QStringLiteral("script"))) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
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
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
    QCommandLineParser args;
    args.setApplicationDescription(
        QStringLiteral("Creates and queries the korvane database (see korvane-dbtool(1))."));
    args.addHelpOption();
    args.addVersionOption();
    args.addOption(
        {QStringLiteral("conn"), QStringLiteral("ADO connection string"), QStringLiteral("text")});
    args.addOption({QStringLiteral("password-file"),
                    QStringLiteral("read the database password from the first line of this file"),
                    QStringLiteral("file")});
    args.addOption({QStringLiteral("ask-password"),
                    QStringLiteral("ask for the database password on the terminal")});
    args.addOption({QStringLiteral("script"), QStringLiteral("schema script to apply"),
                    QStringLiteral("file")});
    args.addOption(
        {QStringLiteral("exec"), QStringLiteral("statement without rows"), QStringLiteral("sql")});
    args.addOption({QStringLiteral("query"),
                    QStringLiteral("statement with rows, printed tab-separated (needs --columns)"),
                    QStringLiteral("sql")});
    args.addOption({QStringLiteral("columns"),
                    QStringLiteral("the columns of --query to print, comma-separated"),
                    QStringLiteral("names")});
    args.addOption(
        {QStringLiteral("upgrade"),
         QStringLiteral("add the tables that this version needs to an existing database")});
    args.addOption({QStringLiteral("check"),
                    QStringLiteral("compare the registrations with the files on the FTP server")});
    args.addOption(
        {QStringLiteral("repair"),
         QStringLiteral("with --check: remove temporary upload files older than a day")});
    args.addOption({QStringLiteral("config"),
                    QStringLiteral("with --check: the host's configuration file"),
                    QStringLiteral("file")});
    args.process(app);
    try {
        return Run(args);
    } catch (const DbError& e) {
        std::fprintf(stderr, "korvane-dbtool: %s\n", e.what());
        return 1;
    }
}
