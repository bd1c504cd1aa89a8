#pragma once

#include <QString>

#include "HostApi.h"

namespace telmaris {

// Opens a finished file, or the folder that holds it, with the desktop's application for it.
// Empty when it was handed over; else why not, with the path, so the operator can go there.
TELMARIS_HOST_API QString OpenLocal(const QString& path, bool folder);

}  // namespace telmaris
