#include "TransferItems.h"

#include <QLoggingCategory>
#include <algorithm>

#include "DbError.h"
#include "GuiServices.h"
#include "History.h"
#include "LeftoverUploads.h"
#include "Registration.h"
#include "RegistrationReads.h"
#include "ReplaceChoices.h"
#include "RunningJobs.h"
#include "Statements.h"
#include "StoreSettings.h"
#include "TransferHistory.h"
#include "TransferProgress.h"
#include "TransferReports.h"
#include "Translate.h"

namespace korvane {

namespace {
Q_LOGGING_CATEGORY(lcEarlier, "korvane.db")

telmaris::EarlierJob EarlierJobOf(const db::HistoryEvent& e, const QDateTime& at) {
    telmaris::EarlierJob job;
    job.info.order = e.orderId;
    job.info.file = e.name;
    job.info.operatorId = e.opId;
    job.info.upload =
        !e.event.startsWith(QLatin1String("download")) && e.event != QLatin1String("mismatch");
    job.replaced = e.event.startsWith(QLatin1String("replace"));
    job.succeeded = e.result.isEmpty();
    job.result = job.succeeded ? Tr("korvane", "成功") : e.result;
    job.bytes = static_cast<uint64_t>(std::max<int64_t>(0, e.bytes));
    job.progress = e.bytes < 0 ? QString() : FormatBytes(job.bytes);
    job.ended = at.toLocalTime();
    return job;
}

// The events from before sessionStarted, as the host lists earlier sessions' jobs: this
// session's own are its live jobs already, and an event whose time cannot be read is left out.
QList<telmaris::EarlierJob> EarlierJobsOf(const QList<db::HistoryEvent>& events,
                                          const QDateTime& sessionStarted) {
    // The history keeps whole seconds: one in the session's first second may be its own.
    const QDateTime before = sessionStarted.addMSecs(-sessionStarted.time().msec());
    QList<telmaris::EarlierJob> jobs;
    for (const db::HistoryEvent& e : events) {
        const QDateTime at = QDateTime::fromString(e.at, Qt::ISODate);
        if (at.isValid() && at < before) {
            jobs << EarlierJobOf(e, at);
        }
    }
    return jobs;
}
}  // namespace

TransferItems::TransferItems(db::TADOConnection& connection, db::TADOQuery& query,
                             OperatorName name, Notice notice, Finished finished)
    : connection_(connection),
      query_(query),
      name_(std::move(name)),
      notice_(std::move(notice)),
      finished_(std::move(finished)) {}

TransferItems::~TransferItems() = default;

TransferQueue::Item TransferItems::Upload(const QString& remote, const QString& insert,
                                          const QString& local, int32_t operatorId,
                                          std::shared_ptr<const void> held,
                                          const QString& note) const {
    TransferQueue::Item item;
    item.note = note;
    item.request.direction = Direction::Upload;
    item.request.remote = remote;
    item.request.local = local;
    Registration::Upload upload{remote, insert, operatorId};
    item.prepare = [this, upload](TransferJob& job) mutable {
        upload.expireSeconds = ClaimExpirySeconds(job.Request().timeouts);
        upload.viaTemporary = job.Request().settings.viaTemporary;
        upload.keepVersions = job.Request().settings.keepVersions;
        auto registration = std::make_unique<Registration>(connection_, query_, upload);
        const QString busy = registration->Claim(name_);
        if (busy.isEmpty()) {
            job.SetRegistrar(std::move(registration));
        }
        return busy;
    };
    item.report = [notice = notice_, held = std::move(held), note](const TransferJob& job) {
        QStringList messages = UploadMessages(job.Request(), job.Outcome());
        if (job.Outcome().Succeeded() && !note.isEmpty()) {
            messages.first() += u'\n' + job.Request().remote + note;
        }
        for (const QString& text : messages) {
            notice(text);
        }
    };
    return item;
}

QList<TransferQueue::Item> TransferItems::UploadBatch(const UploadInput& in, const UploadPlan& plan,
                                                      const QStringList& locals,
                                                      const std::shared_ptr<const void>& held,
                                                      const ReplaceChoices& choices,
                                                      int32_t operatorId) const {
    const QStringList skipped = choices.Skipped();
    QList<TransferQueue::Item> items;
    for (int i = 0; i < plan.remotes.size(); ++i) {
        const QString& remote = plan.remotes[i];
        if (!skipped.contains(remote)) {
            items << Upload(remote,
                            BuildInsertStatement(in.id, in.type, remote, operatorId, in.remark),
                            locals[i], operatorId, held, choices.ReplacedNote(remote));
        }
    }
    return items;
}

TransferQueue::Item TransferItems::Download(const PlannedDownload& download) const {
    TransferQueue::Item item;
    item.request.direction = Direction::Download;
    item.request.remote = download.plan.remote;
    item.request.local = download.local;
    item.prepare = [this, download](TransferJob& job) {
        const RowDownload now = PlanRowDownload(query_, download.name, download.createDate);
        if (now.replacing) {
            return Tr("korvane", "文件[%1]正在被新上传的同名文件替换，请等上传结束后再下载。")
                .arg(download.name);
        }
        if (now.remote != download.plan.remote) {
            return Tr("korvane", "文件[%1]在选中之后被替换了，请重新查询后再下载。")
                .arg(download.name);
        }
        job.SetExpected(now.expected);
        job.SetReplace(download.replace);
        return QString();
    };
    item.report = [notice = notice_, finished = finished_, download](const TransferJob& job) {
        if (job.Outcome().Succeeded()) {
            finished(DownloadedMessage(download, job.Outcome()), job.Outcome().savedAs);
        } else {
            notice(OutcomeMessage(job.Request(), job.Outcome()));
        }
    };
    return item;
}

void TransferItems::Record(const TransferJob& job, int32_t operatorId) const {
    RecordHistory(query_, job, operatorId);
}

void TransferItems::ListEarlier(int32_t operatorId) const {
    auto& host = telmaris::RunningJobs::Instance();
    if (!host.WantsEarlier(operatorId)) {
        return;  // another window of the operator listed them
    }
    try {
        const auto events = db::History(query_).ForOperator(operatorId, kEarlierJobs);
        host.AddEarlier(operatorId, EarlierJobsOf(events, telmaris::RunningJobs::SessionStarted()));
    } catch (const db::DbError& e) {
        // Only a view of what was: the next window of the operator tries again.
        qCWarning(lcEarlier) << "earlier transfers of operator" << operatorId
                             << "not read:" << e.what();
    }
}

void TransferItems::FinishLeftovers(const TransferRequest& request, const StoreFactory& factory,
                                    int32_t operatorId) {
    leftovers_ = std::make_unique<LeftoverUploads>(connection_, query_, request, factory);
    if (!leftovers_->Start(operatorId, ClaimExpirySeconds(request.timeouts))) {
        leftovers_.reset();
    }
}

QString SettleRequest(const std::function<QString(const QString&)>& parameter,
                      const store::Timeouts& defaults, store::Clock* clock,
                      TransferRequest* request) {
    QString invalid;
    if (!ReadStoreSettings(parameter, &request->settings, &invalid)) {
        return invalid;
    }
    request->clock = clock;
    request->timeouts = request->settings.timeoutSeconds
                            ? store::Timeouts::All(*request->settings.timeoutSeconds * 1000)
                            : defaults;
    return QString();
}

}  // namespace korvane
