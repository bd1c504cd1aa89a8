// One operator's process in the concurrency test: registers COUNT files through the module's own
// INSERT and SQL runner on its own connection, and reports what happened.
//
//   register_worker CONNECTION OPERATOR COUNT
// Prints "inserted N failed M" and each failure; exits 0 only without failures.
#include <QCoreApplication>
#include <cstdio>

#include "DialogHook.h"
#include "SqlRunner.h"
#include "Statements.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: register_worker CONNECTION OPERATOR COUNT\n");
        return 2;
    }
    const QString conn = QString::fromLocal8Bit(argv[1]);
    const int op = std::atoi(argv[2]);
    const int count = std::atoi(argv[3]);
    QStringList failures;
    telmaris::SetDialogHook([&failures](const telmaris::DialogRequest& r) {
        failures << r.text;
        return telmaris::DialogAnswer{};
    });
    korvane::db::TADOConnection connection;
    connection.SetConnectionString(conn);
    connection.SetConnected(true);
    korvane::db::TADOQuery query(connection);
    int inserted = 0;
    for (int i = 0; i < count; ++i) {
        const QString id = QString::number(op * 100000 + i);
        const QString remote =
            korvane::RemoteName(id, QStringLiteral("op%1_file%2.txt").arg(op).arg(i));
        if (korvane::RunSQL(query, korvane::BuildInsertStatement(id, QStringLiteral("1"), remote,
                                                                 op, QStringLiteral("worker")))) {
            ++inserted;
        }
    }
    std::printf("inserted %d failed %lld\n", inserted, static_cast<long long>(failures.size()));
    for (const QString& f : failures) {
        std::printf("failure: %s\n", qPrintable(f.left(300)));
    }
    return failures.isEmpty() && inserted == count ? 0 : 1;
}
