#pragma once

#include "StoreClock.h"

namespace ftp {

// The engine paces and pauses on the store's clock.
using Clock = korvane::store::Clock;

}  // namespace ftp
