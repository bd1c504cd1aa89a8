// One host's process in the claim tests: claims the names race_0 .. race_<COUNT-1> on its own
// connection, as an upload would, and prints one line per name.
//
//   claim_worker CONNECTION OPERATOR COUNT
// Prints "ready" once connected, then "<name> claimed|busy <holder's operator>"; exits 0 unless
// the database raised an error.
#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

#include "DbError.h"
#include "FileRecord.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: claim_worker CONNECTION OPERATOR COUNT\n");
        return 2;
    }
    using korvane::db::FileRecord;
    try {
        korvane::db::TADOConnection connection;
        connection.SetConnectionString(QString::fromLocal8Bit(argv[1]));
        connection.SetConnected(true);
        korvane::db::TADOQuery query(connection);
        FileRecord record(query);
        std::printf("ready\n");
        std::fflush(stdout);
        const int op = std::atoi(argv[2]);
        const int count = std::atoi(argv[3]);
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("race_%1").arg(i);
            const korvane::db::UploadClaim mine{FileRecord::NewToken(), op,
                                                QStringLiteral("worker%1").arg(op), now, now};
            korvane::db::UploadClaim holder;
            const auto result = record.Claim(name, mine, 3600, &holder);
            if (result == FileRecord::ClaimResult::Claimed) {
                std::printf("%s claimed\n", qPrintable(name));
            } else {
                std::printf("%s busy %d\n", qPrintable(name), holder.opId);
            }
        }
    } catch (const korvane::db::DbError& e) {
        std::printf("error: %s\n", e.what());
        return 1;
    }
    return 0;
}
