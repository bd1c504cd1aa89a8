#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "KorvaneExport.h"
#include "SessionInfo.h"

class TfrmBusinessMain;

// The run-time contract between the host and the module.
extern "C" {
// Copies the module's interface text (blanks trimmed at both ends) into buffer, which must hold
// up to 2048 bytes. 0, or -1 when buffer is null.
KORVANE_EXPORT int32_t QueryCvsIntf(int32_t ignored, char* buffer);
// The number of module identifiers for a negative index, the identifier for a valid one, else -1.
KORVANE_EXPORT int32_t GetModuleId(int32_t index);
// A new, initialised registration form for the session, or null without a session.
KORVANE_EXPORT TfrmBusinessMain* CreateBusinessForm(int32_t ignored, SessionInfo* session);
}

// The form pointer of the form unit; the module never sets it.
extern KORVANE_EXPORT TfrmBusinessMain* frmBusinessMain;

#include "InterfaceText.h"
