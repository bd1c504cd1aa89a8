#include "DownloadPlan.h"

#include "FileRecord.h"
#include "IntentLog.h"

namespace korvane {

QString EarlierLocalName(const QString& name, int version) {
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString mark = QStringLiteral(".v%1").arg(version);
    return dot <= 0 ? name + mark : name.left(dot) + mark + name.mid(dot);
}

RowDownload PlanRowDownload(db::TADOQuery& query, const QString& name, const QString& createDate) {
    RowDownload plan;
    plan.remote = name;
    plan.localName = name;
    db::IntentLog log(query);
    if (log.Available()) {
        for (const db::Intent& intent : log.Open(name)) {
            plan.replacing = plan.replacing || intent.phase == db::Intent::Phase::Publish;
        }
        if (const auto version = log.VersionFor(name, createDate)) {
            plan.version = version->number;
            plan.remote = version->storeName;
            plan.earlier = version->storeName != name;
            if (plan.earlier) {
                plan.localName = EarlierLocalName(name, version->number);
            }
            if (!version->sha256.isEmpty()) {
                plan.expected = ExpectedFile{static_cast<uint64_t>(version->size), version->sha256};
            }
            return plan;
        }
    }
    const auto stored = db::FileRecord(query).Current(name);
    if (stored && !stored->sha256.isEmpty()) {
        plan.expected = ExpectedFile{static_cast<uint64_t>(stored->size), stored->sha256};
    }
    return plan;
}

}  // namespace korvane
