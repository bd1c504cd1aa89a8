#include "SqliteSupport.h"

#include <sqlite3.h>
#include <sys/vfs.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

#include "DbError.h"
#include "SqlDialect.h"
#include "Translate.h"

using korvane::Tr;

namespace korvane::db {

namespace {

void SysdateFunction(sqlite3_context* ctx, int, sqlite3_value**) {
    const QByteArray now =
        QDateTime::currentDateTime().toString(QLatin1String(kDateTimeFormat)).toUtf8();
    sqlite3_result_text(ctx, now.constData(), static_cast<int>(now.size()), SQLITE_TRANSIENT);
}

// Oracle's to_date for the one format the module writes; anything else is an error, as Oracle
// would raise one for a literal that does not match.
void ToDateFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const auto* format = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    if (format == nullptr || QByteArray(format).toUpper() != "YYYYMMDD") {
        sqlite3_result_error(ctx, "to_date: only the format 'YYYYMMDD' is supported", -1);
        return;
    }
    const QDate date = QDate::fromString(QString::fromUtf8(text), QStringLiteral("yyyyMMdd"));
    if (!date.isValid() || qstrlen(text) != 8) {
        sqlite3_result_error(ctx, "to_date: literal does not match format 'YYYYMMDD'", -1);
        return;
    }
    const QByteArray out = date.startOfDay().toString(QLatin1String(kDateTimeFormat)).toUtf8();
    sqlite3_result_text(ctx, out.constData(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

sqlite3* Handle(QSqlDatabase& db) {
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0) {
        throw DbError(Tr("korvane", "SQLite 驱动没有提供连接句柄"));
    }
    return *static_cast<sqlite3* const*>(v.constData());
}

QString Exec(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        throw DbError(Tr("korvane", "SQLite 初始化失败 (%1): %2").arg(sql, q.lastError().text()));
    }
    return q.next() ? q.value(0).toString() : QString();
}

// Gives schema (main, zy, xg) of file its journal mode.
void SetJournalMode(QSqlDatabase& db, const QString& schema, const QString& file) {
    const QString current =
        Exec(db, QStringLiteral("PRAGMA %1.journal_mode").arg(schema)).toLower();
    const bool empty = Exec(db, QStringLiteral("PRAGMA %1.page_count").arg(schema)).toInt() == 0;
    const QString wanted = JournalModeFor(current, empty, OnNetworkFileSystem(file));
    if (wanted != current) {
        Exec(db, QStringLiteral("PRAGMA %1.journal_mode=%2").arg(schema, wanted));
    }
}

}  // namespace

QString JournalModeFor(const QString& current, bool empty, bool onNetwork) {
    // Modes without a journal (memory, off) could not roll a failed registration back.
    const bool rollback = current == u"delete" || current == u"truncate" || current == u"persist";
    if (onNetwork) {
        return rollback ? current : QStringLiteral("delete");
    }
    return rollback && !empty ? current : QStringLiteral("wal");
}

bool OnNetworkFileSystem(const QString& path) {
    struct statfs fs {};
    if (::statfs(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &fs) != 0) {
        return false;
    }
    // The kernel's magic numbers of the filesystems that other machines write too.
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x6969:      // NFS
        case 0x517B:      // SMB
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x00C36400:  // Ceph
        case 0x5346414F:  // AFS
        case 0x01021997:  // 9P
        case 0x564C:      // NCP
            return true;
        default:
            return false;
    }
}

QString SqliteSchemaFile(const QString& databaseFile, const QString& schema) {
    if (databaseFile == u":memory:") {
        return databaseFile;
    }
    return databaseFile + u'.' + schema;
}

QString SqliteOpenName(const QString& databaseFile, bool createMissing) {
    if (databaseFile == u":memory:") {
        return databaseFile;
    }
    // mode=rw: SQLite itself refuses to create a missing file, whatever happens meanwhile.
    return QStringLiteral("file:") +
           QString::fromLatin1(QUrl::toPercentEncoding(databaseFile, "/")) +
           (createMissing ? QStringLiteral("?mode=rwc") : QStringLiteral("?mode=rw"));
}

void CheckSqliteLocation(const QString& databaseFile, bool createMissing) {
    if (databaseFile == u":memory:") {
        return;
    }
    if (!createMissing) {
        for (const QString& path :
             {databaseFile, SqliteSchemaFile(databaseFile, QStringLiteral("zy")),
              SqliteSchemaFile(databaseFile, QStringLiteral("xg"))}) {
            if (!QFileInfo::exists(path)) {
                throw DbError(Tr("korvane",
                                 "数据库文件不存在: %1（请用 korvane-dbtool --script "
                                 "创建数据库）")
                                  .arg(QFileInfo(path).absoluteFilePath()));
            }
        }
    }
    const QFileInfo file(databaseFile);
    const QFileInfo dir(file.absolutePath());
    if (!dir.exists() || !dir.isDir()) {
        throw DbError(Tr("korvane", "数据库目录不存在: %1").arg(dir.absoluteFilePath()));
    }
    if (!dir.isWritable()) {
        throw DbError(Tr("korvane", "数据库目录不可写: %1").arg(dir.absoluteFilePath()));
    }
    if (file.exists() && (!file.isFile() || !file.isWritable())) {
        throw DbError(Tr("korvane", "数据库文件不可写: %1").arg(file.absoluteFilePath()));
    }
}

void PrepareSqliteConnection(QSqlDatabase& db, const QString& databaseFile) {
    sqlite3* h = Handle(db);
    const int flags = SQLITE_UTF8;
    if (sqlite3_create_function(h, "sysdate", 0, flags, nullptr, SysdateFunction, nullptr,
                                nullptr) != SQLITE_OK ||
        sqlite3_create_function(h, "to_date", 2, flags | SQLITE_DETERMINISTIC, nullptr,
                                ToDateFunction, nullptr, nullptr) != SQLITE_OK) {
        throw DbError(
            Tr("korvane", "SQLite 函数注册失败: %1").arg(QString::fromUtf8(sqlite3_errmsg(h))));
    }
    // like is case-sensitive on the other backends; a search must list the same rows here.
    Exec(db, QStringLiteral("PRAGMA case_sensitive_like=ON"));
    const bool onDisk = databaseFile != u":memory:";
    if (onDisk) {
        SetJournalMode(db, QStringLiteral("main"), databaseFile);
    }
    for (const QString& schema : {QStringLiteral("zy"), QStringLiteral("xg")}) {
        const QString file = SqliteSchemaFile(databaseFile, schema);
        Exec(db, QStringLiteral("ATTACH DATABASE %1 AS %2").arg(QuotedSql(file), schema));
        if (onDisk) {
            SetJournalMode(db, schema, file);
        }
    }
}

}  // namespace korvane::db
