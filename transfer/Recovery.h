#pragma once

#include <QString>

#include <QStringList>
#include <atomic>

#include "FileStore.h"
#include "IntentLog.h"
#include "Transfer.h"

namespace korvane {

// Finishes what an intent announced, from what the store actually holds: an unfinished upload is
// rolled back (its registration never committed, or the intent would be gone), so the name
// holds what its registration says again and nothing the upload left is kept. Removes only the
// objects the intent itself names as this upload's own. True when nothing of it is left on the
// store and the intent may be cleared; false with *why when a step failed (the intent then stays
// for the next attempt).
bool SettleOnStore(store::FileStore& store, const db::Intent& intent, QString* why);

struct SettledIntents {
    TransferOutcome outcome;  // of the login, when the session had to be opened again
    QStringList settled;      // tokens of the intents settled on the store
    bool all = true;
};
// Opens the session where it is not open, then settles each intent; abort alone ends a wait
// meanwhile, since undoing is not the operator's to stop halfway.
SettledIntents SettleAll(store::FileStore& store, TransferState& state,
                         const QList<db::Intent>& intents, const std::atomic<bool>* abort);

}  // namespace korvane
