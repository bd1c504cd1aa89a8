#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace korvane::db {

class TADOQuery;

// One transfer as the site's history keeps it.
struct HistoryEvent {
    QString at;  // ISO 8601 with the offset from UTC
    int32_t opId = 0;
    QString host;
    QString orderId;
    QString name;
    int version = 0;  // 0: not known
    int64_t bytes = -1;
    QString event;   // upload, replace, download, and each with " failed"; mismatch
    QString result;  // empty on success, else what the operator was told
};

// The table zy.res_download_history: who moved what, when. Without it (a database not yet
// upgraded) nothing is recorded and nothing is listed.
class History {
public:
    explicit History(TADOQuery& query);
    bool Available();
    void Record(const HistoryEvent& event);
    // The newest first, at most limit of them.
    QList<HistoryEvent> ForName(const QString& name, int limit = 200);
    QList<HistoryEvent> ForOrder(const QString& orderId, int limit = 200);
    QList<HistoryEvent> ForOperator(int32_t opId, int limit = 200);

    // Now, as the history writes it.
    static QString Now();

private:
    QList<HistoryEvent> Select(const QString& condition, int limit);

    TADOQuery& query_;
    std::optional<bool> available_;
};

}  // namespace korvane::db
