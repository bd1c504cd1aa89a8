#pragma once

#include <QString>
#include <cstdint>

#include "HostApi.h"

// The code of an item text "[code] name" (for example 3 for "[3] 合同"). A text that is not in
// item-text form -- no '[' as its first character, no decimal number (optionally negative) right
// after it, no ']' right after the number, or a number outside 32 bits -- gives 0, the same code
// as the "all types" item.
TELMARIS_HOST_API int32_t ExtractItemCode(const QString& itemText);
