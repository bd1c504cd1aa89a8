#include "SiteCheck.h"

#include <QDateTime>
#include <QSet>
#include <memory>

#include "DbError.h"
#include "FileRecord.h"
#include "HostConfig.h"
#include "IntentLog.h"
#include "Recovery.h"
#include "SqlDialect.h"
#include "SqlScript.h"
#include "StoreSettings.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

namespace korvane {

using namespace db;

namespace {

constexpr int kDefaultTimeoutSeconds = 30;

class Check {
public:
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
        return true;
    }

    bool Run(bool repair, std::FILE* out, SiteCheck::Counts* counts, QString* error) {
        return SiteCheck(query_, *store_, repair, out).Run(counts, error);
    }

private:
    TADOConnection connection_;
    TADOQuery query_{connection_};
    std::unique_ptr<store::FileStore> store_;
};

}  // namespace

int RunSiteCheck(const QString& configPath, bool repair, std::FILE* out) {
    Check check;
    QString error;
    SiteCheck::Counts counts;
    try {
        if (!check.Open(configPath, &error) || !check.Run(repair, out, &counts, &error)) {
            std::fprintf(out, "korvane-dbtool: check: %s\n", error.toUtf8().constData());
            return 2;
        }
    } catch (const DbError& e) {
        std::fprintf(out, "korvane-dbtool: check: %s\n", e.what());
        return 2;
    }
    std::fprintf(out, "%s\n", SiteCheck::Summary(counts, repair).toUtf8().constData());
    return counts.Found() ? 1 : 0;
}

// The check itself ---------------------------------------------------------------------------

SiteCheck::SiteCheck(TADOQuery& query, store::FileStore& store, bool repair, std::FILE* out)
    : query_(query), store_(store), repair_(repair), out_(out) {}

QString SiteCheck::Summary(const Counts& c, bool repair) {
    QString summary = QStringLiteral("korvane-dbtool: check: %1 missing, %2 changed, ")
                          .arg(c.missing)
                          .arg(c.changed);
    if (c.unreadable > 0) {
        summary += QStringLiteral("%1 unreadable, ").arg(c.unreadable);
    }
    summary += QStringLiteral("%1 orphans, %2 unfinished").arg(c.orphans).arg(c.unfinished);
    if (c.held > 0) {
        summary += QStringLiteral(", %1 held").arg(c.held);
    }
    if (repair) {
        summary += QStringLiteral(" (%1 finished)").arg(c.settled);
    }
    return summary;
}

bool SiteCheck::Run(Counts* counts, QString* error) {
    // Unfinished uploads first: finishing one changes what the folder holds.
    CheckIntents();
    QStringList names;
    const store::Result listed = store_.List(&names);
    if (!listed.Ok()) {
        *error = QStringLiteral("listing: %1").arg(listed.reason);
        return false;
    }
    listed_ = QSet<QString>(names.begin(), names.end());
    CheckRows();
    CheckVersions();
    FileRecord record(query_);
    if (record.Available()) {
        for (const StoredFile& file : record.All()) {
            CheckRecorded(file);
        }
    } else {
        Report(QStringLiteral("note"),
               QStringLiteral("note: no table zy.res_download_file, sizes and digests not checked "
                              "(korvane-dbtool --upgrade adds it)"));
    }
    CheckOrphans();
    EndReports();
    *counts = counts_;
    return true;
}

void SiteCheck::Report(const QString& kind, const QString& line) {
    if (++reported_[kind] <= kLinesPerKind) {
        std::fprintf(out_, "%s\n", line.toUtf8().constData());
    }
}

void SiteCheck::EndReports() {
    for (auto it = reported_.cbegin(); it != reported_.cend(); ++it) {
        if (it.value() > kLinesPerKind) {
            std::fprintf(out_, "%s\n",
                         QStringLiteral("%1: %2 more not listed")
                             .arg(it.key())
                             .arg(it.value() - kLinesPerKind)
                             .toUtf8()
                             .constData());
        }
    }
}

void SiteCheck::CheckRows() {
    // One row per name, however many registrations it has: a million rows are a few names' worth
    // of work on the server.
    OpenStatement(query_, QStringLiteral("select down_path,count(*) as n,min(create_date) as "
                                         "first_at from zy.res_download_path group by down_path"));
    for (; !query_.Eof(); query_.Next()) {
        const QString name = query_.FieldAsString(0);
        rowNames_.insert(name);
        if (!listed_.contains(name)) {
            Report(QStringLiteral("missing"),
                   QStringLiteral("missing: %1 (%2 rows, registered from %3)")
                       .arg(name, query_.FieldAsString(1), query_.FieldAsString(2)));
            ++counts_.missing;
        }
    }
    query_.Close();
}

void SiteCheck::CheckVersions() {
    if (!IntentLog(query_).Available()) {
        return;
    }
    OpenStatement(query_, QStringLiteral("select file_name,version_no,store_name from "
                                         "zy.res_download_version where store_name<>file_name"));
    for (; !query_.Eof(); query_.Next()) {
        const QString stored = query_.FieldAsString(2);
        if (!listed_.contains(stored)) {
            Report(QStringLiteral("missing"),
                   QStringLiteral("missing: %1 (version %2 of %3)")
                       .arg(stored, query_.FieldAsString(1), query_.FieldAsString(0)));
            ++counts_.missing;
        }
    }
    query_.Close();
}

void SiteCheck::CheckRecorded(const StoredFile& file) {
    if (!listed_.contains(file.name)) {
        if (!rowNames_.contains(file.name)) {  // a row's missing file is counted with the row
            Report(
                QStringLiteral("missing"),
                QStringLiteral("missing: %1 (recorded %2, no row)").arg(file.name, file.storedAt));
            ++counts_.missing;
        }
        return;
    }
    store::RemoteInfo info;
    store_.Info(file.name, &info);
    if (info.size && static_cast<int64_t>(*info.size) != file.size) {
        Report(QStringLiteral("changed"),
               QStringLiteral("changed: %1: %2 bytes, recorded %3 bytes (stored %4 by %5 from %6)")
                   .arg(file.name)
                   .arg(*info.size)
                   .arg(file.size)
                   .arg(file.storedAt)
                   .arg(file.opId)
                   .arg(file.host));
        ++counts_.changed;
        return;
    }
    QString hex;
    uint64_t read = 0;
    const store::Result digest = store_.Digest(file.name, &hex, &read);
    if (!digest.Ok()) {
        Report(QStringLiteral("unreadable"),
               QStringLiteral("unreadable: %1: %2").arg(file.name, digest.reason));
        ++counts_.unreadable;
        return;
    }
    if (static_cast<int64_t>(read) != file.size || hex != file.sha256.toLower()) {
        Report(QStringLiteral("changed"),
               QStringLiteral("changed: %1: sha256 %2, recorded %3 (stored %4 by %5 from %6)")
                   .arg(file.name, hex, file.sha256, file.storedAt)
                   .arg(file.opId)
                   .arg(file.host));
        ++counts_.changed;
    }
}

void SiteCheck::CheckIntents() {
    IntentLog log(query_);
    if (!log.Available()) {
        return;
    }
    QMap<QString, QList<Intent>> byName;
    for (const Intent& intent : log.Open()) {
        byName[intent.name].append(intent);
    }
    for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
        FileRecord record(query_);
        const int64_t now = DatabaseNow(query_);
        const UploadClaim mine{FileRecord::NewToken(), 0, QStringLiteral("korvane-dbtool"), now,
                               now};
        if (record.Claim(it.key(), mine, kAbandonedSeconds, nullptr) ==
            FileRecord::ClaimResult::Busy) {
            continue;  // its upload is alive and will finish it
        }
        QList<Intent> due = it.value();
        due.removeIf([this, now](const Intent& i) { return KeptForResume(i, now); });
        if (due.isEmpty()) {
            record.Release(it.key(), mine.token);
            continue;
        }
        ++counts_.unfinished;
        const Intent& first = due.first();
        const QString when =
            QDateTime::fromSecsSinceEpoch(first.created).toString(QLatin1String(kDateTimeFormat));
        if (repair_ && Settle(it.key(), due)) {
            ++counts_.settled;
            Report(QStringLiteral("unfinished"),
                   QStringLiteral("unfinished: %1 (upload of %2 by %3 from %4) finished")
                       .arg(it.key(), when)
                       .arg(first.opId)
                       .arg(first.host));
        } else {
            Report(QStringLiteral("unfinished"),
                   QStringLiteral("unfinished: %1 (upload of %2 by %3 from %4)")
                       .arg(it.key(), when)
                       .arg(first.opId)
                       .arg(first.host));
        }
        record.Release(it.key(), mine.token);
    }
}

bool SiteCheck::KeptForResume(const Intent& intent, int64_t now) {
    if (!HeldForResume(intent, now)) {
        return false;
    }
    ++counts_.held;
    Report(QStringLiteral("held"),
           QStringLiteral("held: %1 (%2, upload paused %3 by %4 from %5, kept for a resume "
                          "until %6)")
               .arg(intent.name, intent.temp,
                    QDateTime::fromSecsSinceEpoch(intent.created)
                        .toString(QLatin1String(kDateTimeFormat)))
               .arg(intent.opId)
               .arg(intent.host, QDateTime::fromSecsSinceEpoch(intent.created + kHeldUploadSeconds)
                                     .toString(QLatin1String(kDateTimeFormat))));
    return true;
}

bool SiteCheck::Settle(const QString& name, const QList<Intent>& intents) {
    IntentLog log(query_);
    bool all = true;
    for (const Intent& intent : intents) {
        QString why;
        if (SettleOnStore(store_, intent, &why)) {
            log.Clear(intent.token);
        } else {
            all = false;
            Report(QStringLiteral("unfinished"),
                   QStringLiteral("unfinished: %1: not finished: %2").arg(name, why));
        }
    }
    return all;
}

void SiteCheck::CheckOrphans() {
    IntentLog log(query_);
    QSet<QString> referenced;
    if (log.Available()) {
        referenced = log.Referenced();
    } else {
        referenced = rowNames_;
        if (FileRecord(query_).Available()) {
            for (const StoredFile& f : FileRecord(query_).All()) {
                referenced.insert(f.name);
            }
        }
    }
    QStringList orphans;
    for (const QString& name : listed_) {
        if (!referenced.contains(name)) {
            orphans << name;
        }
    }
    orphans.sort();
    for (const QString& name : orphans) {
        Report(QStringLiteral("orphan"),
               QStringLiteral("orphan: %1 (no row, record, version or upload refers to it; "
                              "left alone)")
                   .arg(name));
        ++counts_.orphans;
    }
}

}  // namespace korvane
