#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "DownloadPlan.h"
#include "FileRecord.h"
#include "LocalCopy.h"
#include "Transfer.h"
#include "TransferQueue.h"

namespace korvane {

// What the registration window tells the operator of its transfers, and what it does once a
// batch of them ended.

// The messages after an upload that was the only one of its batch, in order: the outcome, and
// "文件上传失败！" after every failure that left the file unstored or not in place.
QStringList UploadMessages(const TransferRequest& request, const TransferOutcome& outcome);
// After a download that succeeded: where the file is (or that an equal one was there), beside
// which other file it was kept, and for a row that a later upload of its name replaced, that
// its own earlier version came and under which name, or (a row from before versions were kept)
// that the newer file came.
QString DownloadedMessage(const PlannedDownload& download, const TransferOutcome& outcome);
// The question before downloads whose local names hold other files: one line per file as
// LocalFileLine describes it.
QString LocalConflictQuestion(const QString& folder, const QStringList& described);
// "[7_a.txt]（12.0 KiB，2026-12-09 10:32修改，只读）" of a file under a download's local name.
QString LocalFileLine(const QString& name, const LocalLook& look);

// The question before an upload replaces registered files: one line per file as described
// ("[name]" and what the record says of it); unreadable says why the registrations could not
// be read, when they could not.
QString ReplaceQuestion(const QStringList& described, const QString& unreadable);
// "12.0 KiB，张三于2026-12-09 10:32:00上传" of a recorded file.
QString StoredText(const db::StoredFile& file, const QString& operatorName);
// The person in a code table's item text "[code] name"; the number when the table has no name.
QString OperatorName(const QString& itemText, int32_t operatorId);

// How long an upload's claim may go without a sign of life before another host takes it over:
// twice the transfer's timeout, at least a minute (a host that died).
int ClaimExpirySeconds(const store::Timeouts& timeouts);

// Whether a job's end gets a report of its own: not while its window closes (a window that
// goes says nothing), nor in a batch of several, which ends with one summary.
bool ReportsEachJob(int batchSize, bool closing);

// What the window does once its queue ran dry.
struct BatchEnd {
    bool allSucceeded = false;
    QString summary;           // a batch of several: what was and was not transferred, and why
    bool clearInputs = false;  // an upload that saved every file
    bool listAgain = false;    // an upload that saved any: the new rows show where one looks
};
BatchEnd JudgeBatch(Direction direction, const QList<TransferQueue::Result>& batch);

// The warnings of a transfer's session (a session left unencrypted) that this window has not
// told yet: each is told once while the window lives.
class SessionNotices {
public:
    QStringList Untold(const QStringList& warnings);

private:
    QSet<QString> told_;
};

}  // namespace korvane
