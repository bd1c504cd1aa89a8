#pragma once

#include <QString>

#include "FileStore.h"
#include "IntentLog.h"

namespace korvane {

// Finishes what an intent announced, from what the store actually holds: an unfinished upload is
// rolled back (its registration never committed, or the intent would be gone), so the name
// holds what its registration says again and nothing the upload left is kept. Removes only the
// objects the intent itself names as this upload's own. True when nothing of it is left on the
// store and the intent may be cleared; false with *why when a step failed (the intent then stays
// for the next attempt).
bool SettleOnStore(store::FileStore& store, const db::Intent& intent, QString* why);

}  // namespace korvane
