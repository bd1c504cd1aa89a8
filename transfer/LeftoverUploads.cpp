#include "LeftoverUploads.h"

#include <QLoggingCategory>
#include <QSet>

#include "Recovery.h"
#include "Registration.h"

namespace korvane {

namespace {
Q_LOGGING_CATEGORY(lcLeftovers, "korvane.leftovers")

struct Settling {
    QStringList settled;
};

// The intents an upload left, without those of a paused upload: its file is its resume's.
QList<db::Intent> Left(QList<db::Intent> intents, int64_t now) {
    intents.removeIf([now](const db::Intent& intent) { return db::HeldForResume(intent, now); });
    return intents;
}
}  // namespace

LeftoverUploads::LeftoverUploads(db::TADOConnection& connection, db::TADOQuery& query,
                                 TransferRequest request, const StoreFactory& factory,
                                 QObject* parent)
    : QObject(parent),
      connection_(connection),
      query_(query),
      request_(std::move(request)),
      worker_([factory, request = request_] { return factory(request); }) {}

LeftoverUploads::~LeftoverUploads() {
    abort_ = true;
    state_->cancel = true;
}

bool LeftoverUploads::Start(int32_t operatorId, int expireSeconds) {
    intents_.clear();
    try {
        db::IntentLog log(query_);
        if (!log.Available()) {
            return false;
        }
        const int64_t now = db::DatabaseNow(query_);
        QSet<QString> names;
        for (const db::Intent& intent : Left(log.Open(), now)) {
            names.insert(intent.name);
        }
        for (const QString& name : names) {
            Registration::Upload upload;
            upload.remote = name;
            upload.operatorId = operatorId;
            upload.expireSeconds = expireSeconds;
            auto claim = std::make_unique<Registration>(connection_, query_, upload);
            if (claim->Claim([](int32_t) { return QString(); }).isEmpty() && claim->Claimed()) {
                intents_ << Left(claim->Intents(false), now);
                claims_.push_back(std::move(claim));
            }
        }
    } catch (const std::exception& e) {
        qCWarning(lcLeftovers) << "unfinished uploads not looked at:" << e.what();
        return false;
    }
    if (intents_.isEmpty()) {
        claims_.clear();
        return false;
    }
    worker_.Post([this, intents = intents_, state = state_](store::FileStore& store) {
        Settling r;
        TransferOutcome outcome;
        PrepareStore(store, *state);
        store.SetCancelFlag(&abort_);
        if (OpenSession(store, *state, outcome)) {
            for (const db::Intent& intent : intents) {
                QString why;
                if (SettleOnStore(store, intent, &why)) {
                    r.settled << intent.token;
                } else {
                    qCWarning(lcLeftovers)
                        << "unfinished upload of" << intent.name << "stays announced:" << why;
                }
            }
        }
        QMetaObject::invokeMethod(
            this, [this, r] { Done(r.settled); }, Qt::QueuedConnection);
    });
    return true;
}

void LeftoverUploads::Done(const QStringList& settled) {
    int cleared = 0;
    for (const QString& token : settled) {
        try {
            db::IntentLog(query_).Clear(token);
            ++cleared;
        } catch (const std::exception& e) {
            qCWarning(lcLeftovers) << "a settled intent stays recorded:" << e.what();
        }
    }
    claims_.clear();  // releases the names
    const auto total = static_cast<int>(intents_.size());
    emit finished(cleared, total - cleared);
}

}  // namespace korvane
