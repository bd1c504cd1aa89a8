// Applies schema scripts and runs statements through the module's own data layer, so that set-up
// scripts and tests use exactly the connection mapping and dialect bridge that the window uses.
//
//   korvane-dbtool --conn "Provider=SQLite;Data Source=/path/korvane.db" --script schema.sql
//   korvane-dbtool --conn "..." --exec "insert into ..."
//   korvane-dbtool --conn "..." --query "select ..."   (rows as tab-separated text)
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSqlRecord>
#include <cstdio>

#include "DbError.h"
#include "SqlScript.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

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

int Run(const QCommandLineParser& args) {
    TADOConnection connection;
    connection.SetConnectionString(args.value(QStringLiteral("conn")));
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
    QCommandLineParser args;
    args.addHelpOption();
    args.addOption(
        {QStringLiteral("conn"), QStringLiteral("ADO connection string"), QStringLiteral("text")});
    args.addOption({QStringLiteral("script"), QStringLiteral("schema script to apply"),
                    QStringLiteral("file")});
    args.addOption(
        {QStringLiteral("exec"), QStringLiteral("statement without rows"), QStringLiteral("sql")});
    args.addOption(
        {QStringLiteral("query"), QStringLiteral("statement with rows"), QStringLiteral("sql")});
    args.addOption({QStringLiteral("columns"), QStringLiteral("columns to print, comma-separated"),
                    QStringLiteral("names")});
    args.process(app);
    try {
        return Run(args);
    } catch (const DbError& e) {
        std::fprintf(stderr, "korvane-dbtool: %s\n", e.what());
        return 1;
    }
}
