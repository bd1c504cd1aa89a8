// Search speed: registrations (100,000 unless the first argument says otherwise; 5,000 operators,
// 50 order types) listed into the window's list, from the click to the filled list, against the
// bare query reading the same rows from the same database, in one run. Also the process's
// resident memory once listed (taken before the bare query runs), and sorting by each column.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "HostConfig.h"
#include "HostControls.h"
#include "SqlScript.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TfrmBusinessMain.h"

namespace {
int kRows = 100000;
constexpr int kOperators = 5000;
constexpr int kTypes = 50;

long StatusKiB(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(static_cast<qsizetype>(std::strlen(field)))
                .trimmed()
                .split(' ')
                .value(0)
                .toLong();
        }
    }
    return -1;
}

void Populate(const QString& conn) {
    korvane::db::TADOConnection c;
    c.SetConnectionString(conn);
    c.SetCreateMissing(true);
    c.SetConnected(true);
    korvane::db::TADOQuery q(c);
    QFile script(QStringLiteral(KORVANE_SOURCE_DIR "/db/schema/sqlite.sql"));
    script.open(QIODevice::ReadOnly);
    korvane::db::ApplyScript(q, QString::fromUtf8(script.readAll()));
    korvane::db::ExecStatement(q, QStringLiteral("begin"));
    for (int t = 1; t <= kTypes; ++t) {
        korvane::db::ExecStatement(
            q,
            QStringLiteral(
                "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','%1','类型%1')")
                .arg(t));
    }
    for (int i = 0; i < kRows; ++i) {
        korvane::db::ExecStatement(
            q, QStringLiteral("insert into zy.res_download_path "
                              "values(%1,%2,'%1_file%3.txt',%4,sysdate,'备注%3')")
                   .arg(100000 + i / 3)
                   .arg(1 + i % kTypes)
                   .arg(i)
                   .arg(1000 + i % kOperators));
    }
    korvane::db::ExecStatement(q, QStringLiteral("commit"));
}

double BareQuery(const QString& conn) {
    korvane::db::TADOConnection c;
    c.SetConnectionString(conn);
    c.SetConnected(true);
    korvane::db::TADOQuery q(c);
    QElapsedTimer t;
    t.start();
    q.AddSQL(
        QStringLiteral("select * from zy.res_download_path where 1=1 and down_path like '%_%'"));
    q.Open();
    qsizetype sink = 0;
    for (; !q.Eof(); q.Next()) {
        sink += q.FieldAsString(QStringLiteral("down_id")).size() +
                q.FieldAsString(QStringLiteral("down_type")).size() +
                q.FieldAsString(QStringLiteral("down_path")).size() +
                q.FieldAsInteger(QStringLiteral("op_id")) +
                q.FieldAsString(QStringLiteral("create_date")).size() +
                q.FieldAsString(QStringLiteral("remark")).size();
    }
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    std::printf("  bare query     : %8.1f ms  (%d rows, checksum %lld)\n", ms, q.RecordCount(),
                static_cast<long long>(sink));
    return ms;
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (argc > 1) {
        kRows = std::atoi(argv[1]);
    }
    QTemporaryDir dir;
    const QString conn =
        QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath(QStringLiteral("k.db"));
    QByteArray ini = "[SysPara]\nkorvane_conn=" + conn.toUtf8() + "\n[CodeTable285]\n";
    for (int i = 0; i < kOperators; ++i) {
        ini += QByteArray::number(1000 + i) + "=操作员" + QByteArray::number(i) + "\n";
    }
    const QString config = dir.filePath(QStringLiteral("host.ini"));
    QFile f(config);
    f.open(QIODevice::WriteOnly);
    f.write(ini);
    f.close();
    telmaris::SetHostConfigPath(config);
    Populate(conn);

    std::printf("search: %d registrations, %d operators, %d order types (SQLite)\n", kRows,
                kOperators, kTypes);
    TfrmBusinessMain form;
    form.InitBusinessForm(1021, 0, 0, 0, 1000, QString());
    // The list itself is measured at scale, past the cap an operator's search has.
    form.SetSearchRowLimit(std::max(kRows, TfrmBusinessMain::kMaxSearchRows));
    form.show();
    QCoreApplication::processEvents();
    const long rssBefore = StatusKiB("VmRSS:");
    form.findChild<QLineEdit*>(QStringLiteral("edDownPath"))->setText(QStringLiteral("_"));
    form.findChild<QCheckBox*>(QStringLiteral("chkDate"))->setChecked(false);
    QElapsedTimer t;
    t.start();
    QSignalSpy marked(&form, &TfrmBusinessMain::listMarked);
    form.findChild<QPushButton*>(QStringLiteral("btnQuery"))->click();
    const double listed = static_cast<double>(t.nsecsElapsed()) / 1e6;
    marked.wait(600000);
    const double withMarks = static_cast<double>(t.nsecsElapsed()) / 1e6;
    auto* list = form.findChild<TListViewEx*>(QStringLiteral("lvList"));
    const int rows = list->Count();
    std::printf("  click to list  : %8.1f ms  (%d rows listed)\n", listed, rows);
    std::printf("  ... and marked : %8.1f ms  (replaced rows and recorded sizes)\n", withMarks);
    std::printf("  resident memory: %ld KiB before the search, %ld KiB after, peak %ld KiB\n",
                rssBefore, StatusKiB("VmRSS:"), StatusKiB("VmHWM:"));
    const double bare = BareQuery(conn);
    std::printf("  ratio list/bare: %.2f (marked/bare %.2f)\n", listed / bare, withMarks / bare);
    for (int column = 0; column < list->model()->columnCount(); ++column) {
        t.restart();
        list->sortByColumn(column, Qt::AscendingOrder);
        std::printf("  sort by %-7s: %8.1f ms\n",
                    qPrintable(list->model()->headerData(column, Qt::Horizontal).toString()),
                    static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    return rows == kRows ? 0 : 1;
}
