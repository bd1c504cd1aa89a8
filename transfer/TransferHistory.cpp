#include "TransferHistory.h"

#include <QLoggingCategory>

#include "Registration.h"

namespace korvane {

namespace {
Q_LOGGING_CATEGORY(lcHistory, "korvane.db")

QString EventName(const TransferJob& job) {
    const TransferOutcome& outcome = job.Outcome();
    if (job.Request().direction == Direction::Download) {
        if (outcome.reached == TransferOutcome::Step::Verify && !outcome.cancelled) {
            return QStringLiteral("mismatch");
        }
        return outcome.Succeeded() ? QStringLiteral("download") : QStringLiteral("download failed");
    }
    const bool replaced = job.Registrar() && job.Registrar()->Replaced();
    return (replaced ? QStringLiteral("replace") : QStringLiteral("upload")) +
           (outcome.Succeeded() ? QString() : QStringLiteral(" failed"));
}
}  // namespace

db::HistoryEvent HistoryEventOf(const TransferJob& job, int32_t operatorId) {
    db::HistoryEvent e;
    e.at = db::History::Now();
    e.opId = operatorId;
    e.host = Registration::HostName();
    e.name = job.Request().remote;
    // The name is "<order>_<file>".
    e.orderId = e.name.contains(u'_') ? e.name.section(u'_', 0, 0) : QString();
    e.bytes = static_cast<int64_t>(job.State()->done.load() - job.State()->from.load());
    e.event = EventName(job);
    e.version = job.Registrar() && job.Outcome().Succeeded() ? job.Registrar()->Version() : 0;
    e.result = job.Outcome().Succeeded() ? QString() : OutcomeMessage(job.Request(), job.Outcome());
    return e;
}

void RecordHistory(db::TADOQuery& query, const TransferJob& job, int32_t operatorId) {
    try {
        db::History history(query);
        if (history.Available()) {
            history.Record(HistoryEventOf(job, operatorId));
        }
    } catch (const std::exception& e) {
        qCWarning(lcHistory) << "history of" << job.Request().remote << "not written:" << e.what();
    }
}

}  // namespace korvane
