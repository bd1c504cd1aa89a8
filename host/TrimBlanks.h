#pragma once

#include <QString>

#include "HostApi.h"

namespace telmaris {

// Removes every character of code 32 or below from both ends; inner ones stay.
TELMARIS_HOST_API QString TrimBlanks(const QString& text);

}  // namespace telmaris
