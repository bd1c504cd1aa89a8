#include "TransferItems.h"

#include "GuiServices.h"
#include "LeftoverUploads.h"
#include "Registration.h"
#include "StoreSettings.h"
#include "TransferHistory.h"
#include "TransferReports.h"
#include "Translate.h"

namespace korvane {

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
