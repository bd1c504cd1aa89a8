// The journaled upload: each side effect on the store is announced in the database before it
// happens and settled after it, so that whatever ends the upload (a failure, a cancel, a kill,
// the database going away) leaves an intent from which the next attempt finishes it.
#include <QFileInfo>

#include "Recovery.h"
#include "TemporaryName.h"
#include "TransferJob.h"
#include "Translate.h"

namespace korvane {

using Step = TransferOutcome::Step;

namespace {
struct Opened {
    TransferOutcome outcome;
    QStringList settled;  // tokens of the intents settled on the store
    bool all = true;
};

// Opens the session where it is not open, then settles intents.
Opened SettleAll(store::FileStore& store, TransferState& state, const QList<db::Intent>& intents,
                 const std::atomic<bool>* abort) {
    Opened r;
    r.outcome.reached = Step::Transfer;
    // Undoing is not the operator's to stop halfway.
    store.SetCancelFlag(abort);
    if (!store.Alive()) {
        store.Close();
        r.outcome.reached = Step::Login;
        if (!OpenSession(store, state, r.outcome)) {
            r.all = intents.isEmpty();
            store.SetCancelFlag(&state.cancel);
            return r;
        }
    }
    for (const db::Intent& intent : intents) {
        QString why;
        if (SettleOnStore(store, intent, &why)) {
            r.settled << intent.token;
        } else {
            r.all = false;
        }
    }
    store.SetCancelFlag(&state.cancel);
    return r;
}

QString Unsettled() {
    return Tr("korvane",
              "未完成的步骤已记录在数据库中，将在下次上传该文件或运行 korvane-dbtool --check "
              "--repair 时完成。");
}
}  // namespace

void TransferJob::Recover(bool ownOnly, std::function<void(bool)> then) {
    QList<db::Intent> intents;
    try {
        intents = registrar_->Intents(ownOnly);
    } catch (const std::exception&) {
        then(false);  // the database cannot say: everything stays announced
        return;
    }
    Run<Opened>([state = state_, intents, abort = &abort_](
                    store::FileStore& store) { return SettleAll(store, *state, intents, abort); },
                [this, then = std::move(then)](const Opened& r) {
                    registrar_->Settled(r.settled);
                    then(r.all);
                });
}

void TransferJob::StartJournaled() {
    keepAlive_.start();
    Run<TransferOutcome>(
        [state = state_](store::FileStore& store) {
            TransferOutcome r;
            PrepareStore(store, *state);
            OpenSession(store, *state, r);
            return r;
        },
        [this](const TransferOutcome& r) {
            outcome_ = r;
            if (r.reached != Step::Transfer) {
                Finish();
                return;
            }
            // A partial upload of the same file that this operator left is continued; what
            // any other upload of this name left behind is settled before this one begins: a
            // new content must not go where an old one may still have to return.
            stored_ =
                registrar_->Resumable(static_cast<uint64_t>(QFileInfo(request_.local).size()));
            const bool resume = !stored_.isEmpty();
            if (!resume) {
                stored_ = QString::fromStdString(ftp::TemporaryName(request_.remote.toStdString()));
            }
            Recover(false, [this, resume](bool all) {
                if (!all) {
                    outcome_.reached = Step::Register;
                    outcome_.reason =
                        Tr("korvane", "上次未完成的上传[%1]还不能恢复，本次没有上传。")
                            .arg(request_.remote) +
                        u'\n' + Unsettled();
                    Finish();
                    return;
                }
                Announce(resume);
            });
        });
}

void TransferJob::Announce(bool resume) {
    const QString refused = registrar_->Announce(stored_);
    if (!refused.isEmpty()) {
        outcome_.reached = Step::Register;
        outcome_.reason = refused;
        Finish();
        return;
    }
    resumedHeld_ = resume;
    SendFile(Session::Ready, resume, true,
             [this](const Sent& r) { StoredJournaled(r.outcome, r.copy, r.nameTaken); });
}

bool TransferJob::HoldForResume() {
    using store::Fault;
    // Sending stopped short (a session that could not be had again after a pause included),
    // rather than refused: what arrived is worth keeping.
    const bool stopped = outcome_.reached < Step::Transfer || outcome_.cancelled ||
                         outcome_.fault == Fault::Broken || outcome_.fault == Fault::Timeout;
    const bool holds = state_->done.load() > 0 || resumedHeld_;
    if (outcome_.reached > Step::Transfer || !stopped || !holds ||
        !registrar_->Hold(static_cast<uint64_t>(QFileInfo(request_.local).size()))) {
        return false;
    }
    outcome_.kept = true;
    return true;
}

void TransferJob::StoredJournaled(const TransferOutcome& outcome, const store::StoredCopy& copy,
                                  bool nameTaken) {
    outcome_ = outcome;
    if (outcome.reached != Step::Register) {
        if (HoldForResume()) {
            Finish();  // the claim goes; the temporary file stays, held in the journal
            return;
        }
        FailJournaled();
        return;
    }
    QString aside;
    const QString refused = registrar_->Plan(copy, nameTaken, &aside);
    if (!refused.isEmpty()) {
        outcome_.reason = refused;
        FailJournaled();
        return;
    }
    outcome_.reached = Step::Publish;
    Run<TransferOutcome>(
        [state = state_, abort = &abort_, from = stored_, to = request_.remote, aside,
         outcome = outcome_](store::FileStore& store) {
            // Once announced, the renames are not the operator's to stop halfway.
            store.SetCancelFlag(abort);
            TransferOutcome r = outcome;
            (aside.isEmpty() || Advance(store.Rename(to, aside), *state, r, Step::Publish)) &&
                Advance(store.Rename(from, to), *state, r, Step::Commit);
            r.cancelled = false;
            return r;
        },
        [this, copy](const TransferOutcome& r) { PublishedJournaled(r, copy); });
}

void TransferJob::PublishedJournaled(const TransferOutcome& outcome,
                                     const store::StoredCopy& copy) {
    outcome_ = outcome;
    if (outcome.reached != Step::Commit) {
        outcome_.reason = Tr("korvane", "不能把上传的文件放到[%1]的位置：%2")
                              .arg(request_.remote, outcome.reason);
        FailJournaled();
        return;
    }
    const QString failed = registrar_->Settle(copy);
    if (!failed.isEmpty()) {
        outcome_.reason = failed;
        FailJournaled();
        return;
    }
    outcome_.reached = Step::Done;
    // What the replace made unreferenced goes now; what stays is an intent for later.
    Recover(true, [this](bool) { Finish(); });
}

void TransferJob::FailJournaled() {
    Recover(true, [this](bool all) {
        if (!all) {
            outcome_.reason +=
                (outcome_.reason.isEmpty() ? QString() : QStringLiteral("\n")) + Unsettled();
        }
        Finish();
    });
}

}  // namespace korvane
