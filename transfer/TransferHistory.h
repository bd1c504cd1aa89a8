#pragma once

#include "History.h"
#include "TransferJob.h"

namespace korvane {

// What the site's history keeps of a job that ended: its kind, its name and order, the bytes it
// moved and, where it failed, what the operator was told.
db::HistoryEvent HistoryEventOf(const TransferJob& job, int32_t operatorId);

// Records job in the history on query; a history that cannot be written is only logged, it
// never stands in the operator's way.
void RecordHistory(db::TADOQuery& query, const TransferJob& job, int32_t operatorId);

}  // namespace korvane
