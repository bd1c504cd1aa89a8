#pragma once

#include <QPointer>

#include "HostApi.h"

class QMdiArea;

namespace telmaris {

// The host application's MDI area, where child forms attach themselves; null when the forms
// run without a host window (they are then top-level windows).
TELMARIS_HOST_API void SetHostMdiArea(QMdiArea* area);
TELMARIS_HOST_API QMdiArea* HostMdiArea();

}  // namespace telmaris
