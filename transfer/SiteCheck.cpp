#include "SiteCheck.h"

#include <QDateTime>
#include <QSet>

#include "DbError.h"
#include "FileRecord.h"
#include "HostConfig.h"
#include "SqlDialect.h"
#include "SqlScript.h"
#include "StoreSettings.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TemporaryName.h"

namespace korvane {

using namespace db;

namespace {

constexpr int kDefaultTimeoutSeconds = 30;

struct Counts {
    int missing = 0;
    int changed = 0;
    int unreadable = 0;
    int stale = 0;
    int removed = 0;
    bool Found() const { return missing + changed + unreadable + stale > 0; }
};

class Check {
public:
    Check(std::FILE* out, bool repair) : out_(out), repair_(repair) {}

    // False with *error when the configuration, the database or the server cannot be had.
    bool Open(const QString& configPath, QString* error) {
        telmaris::IniFile ini;
        if (!telmaris::ReadConfiguration(ini, configPath, {QStringLiteral("korvane_conn")},
                                         error)) {
            return false;
        }
        const auto parameter = [&ini](const QString& name) {
            return ini.Value(QStringLiteral("SysPara"), name).value_or(QString());
        };
        StoreSettings settings;
        if (!ReadStoreSettings(parameter, &settings, error)) {
            return false;
        }
        connection_.SetConnectionString(parameter(QStringLiteral("korvane_conn")));
        connection_.SetConnected(true);
        const int ms = settings.timeoutSeconds.value_or(kDefaultTimeoutSeconds) * 1000;
        store_ = MakeStore(settings, store::Timeouts::All(ms), &store::Clock::Real());
        const store::Result opened = store_->Open();
        if (!opened.Ok()) {
            *error = QStringLiteral("%1: %2").arg(settings.endpoint.server, opened.reason);
            return false;
        }
        QStringList names;
        const store::Result listed = store_->List(&names);
        if (!listed.Ok()) {
            *error = QStringLiteral("listing: %1").arg(listed.reason);
            return false;
        }
        listed_ = QSet<QString>(names.begin(), names.end());
        return true;
    }

    Counts Run() {
        FileRecord record(query_);
        QSet<QString> registered;
        OpenStatement(query_,
                      QStringLiteral("select down_id,down_path,create_date from "
                                     "zy.res_download_path order by down_path,create_date"));
        QList<QStringList> rows;
        for (; !query_.Eof(); query_.Next()) {
            rows.append({query_.FieldAsString(QStringLiteral("down_id")),
                         query_.FieldAsString(QStringLiteral("down_path")),
                         query_.FieldAsString(QStringLiteral("create_date"))});
        }
        query_.Close();
        for (const QStringList& row : rows) {
            registered.insert(row[1]);
            if (!Exists(row[1])) {
                Print(QStringLiteral("missing: %1 (down_id %2, registered %3)")
                          .arg(row[1], row[0], row[2]));
                ++counts_.missing;
            }
        }
        if (record.Available()) {
            for (const StoredFile& file : record.All()) {
                CheckRecorded(file, registered.contains(file.name));
            }
        } else {
            Print(
                QStringLiteral("note: no table zy.res_download_file, sizes and digests not checked "
                               "(korvane-dbtool --upgrade adds it)"));
        }
        CheckTemporaries();
        return counts_;
    }

private:
    std::optional<uint64_t> SizeOf(const QString& name) {
        store::RemoteInfo info;
        store_->Info(name, &info);
        return info.size;
    }

    void Print(const QString& line) { std::fprintf(out_, "%s\n", line.toUtf8().constData()); }

    // In the listing, or, where a server lists in its own way, answering SIZE.
    bool Exists(const QString& name) { return listed_.contains(name) || SizeOf(name).has_value(); }

    void CheckRecorded(const StoredFile& file, bool hasRow) {
        if (!Exists(file.name)) {
            if (!hasRow) {  // a row's missing file is counted with the row
                Print(QStringLiteral("missing: %1 (recorded %2, no row)")
                          .arg(file.name, file.storedAt));
                ++counts_.missing;
            }
            return;
        }
        const auto size = SizeOf(file.name);
        if (size && static_cast<int64_t>(*size) != file.size) {
            Print(
                QStringLiteral("changed: %1: %2 bytes, recorded %3 bytes (stored %4 by %5 from %6)")
                    .arg(file.name)
                    .arg(*size)
                    .arg(file.size)
                    .arg(file.storedAt)
                    .arg(file.opId)
                    .arg(file.host));
            ++counts_.changed;
            return;
        }
        QString hex;
        uint64_t read = 0;
        const store::Result digest = store_->Digest(file.name, &hex, &read);
        if (!digest.Ok()) {
            Print(QStringLiteral("unreadable: %1: %2").arg(file.name, digest.reason));
            ++counts_.unreadable;
            return;
        }
        if (static_cast<int64_t>(read) != file.size || hex != file.sha256.toLower()) {
            Print(QStringLiteral("changed: %1: sha256 %2, recorded %3 (stored %4 by %5 from %6)")
                      .arg(file.name, hex, file.sha256, file.storedAt)
                      .arg(file.opId)
                      .arg(file.host));
            ++counts_.changed;
        }
    }

    void CheckTemporaries() {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        QStringList names(listed_.begin(), listed_.end());
        names.sort();
        for (const QString& name : names) {
            if (!ftp::IsTemporaryName(name.toStdString())) {
                continue;
            }
            store::RemoteInfo info;
            store_->Info(name, &info);
            const std::optional<QDateTime>& modified = info.modified;
            if (!modified) {
                Print(QStringLiteral("note: temporary %1 of unknown age left alone").arg(name));
                continue;
            }
            if (now - modified->toSecsSinceEpoch() <= kStaleTemporarySeconds) {
                continue;
            }
            ++counts_.stale;
            const QString when =
                modified->toLocalTime().toString(QLatin1String(korvane::db::kDateTimeFormat));
            if (!repair_) {
                Print(QStringLiteral("stale temporary: %1 (%2)").arg(name, when));
            } else if (const store::Result removed = store_->Remove(name); removed.Ok()) {
                Print(QStringLiteral("stale temporary: %1 (%2) removed").arg(name, when));
                ++counts_.removed;
            } else {
                Print(QStringLiteral("stale temporary: %1 (%2) not removed: %3")
                          .arg(name, when, removed.reason));
            }
        }
    }

    std::FILE* out_;
    bool repair_;
    TADOConnection connection_;
    TADOQuery query_{connection_};
    std::unique_ptr<store::FileStore> store_;
    QSet<QString> listed_;
    Counts counts_;
};

}  // namespace

int RunSiteCheck(const QString& configPath, bool repair, std::FILE* out) {
    Check check(out, repair);
    QString error;
    Counts counts;
    try {
        if (!check.Open(configPath, &error)) {
            std::fprintf(out, "korvane-dbtool: check: %s\n", error.toUtf8().constData());
            return 2;
        }
        counts = check.Run();
    } catch (const DbError& e) {
        std::fprintf(out, "korvane-dbtool: check: %s\n", e.what());
        return 2;
    }
    QString summary = QStringLiteral("korvane-dbtool: check: %1 missing, %2 changed, ")
                          .arg(counts.missing)
                          .arg(counts.changed);
    if (counts.unreadable > 0) {
        summary += QStringLiteral("%1 unreadable, ").arg(counts.unreadable);
    }
    summary += QStringLiteral("%1 stale temporary").arg(counts.stale);
    if (repair) {
        summary += QStringLiteral(" (%1 removed)").arg(counts.removed);
    }
    std::fprintf(out, "%s\n", summary.toUtf8().constData());
    return counts.Found() ? 1 : 0;
}

}  // namespace korvane
