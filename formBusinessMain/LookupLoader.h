#pragma once

#include <cstdint>
#include <memory>

#include "BaseData.h"
#include "CodeLookup.h"

namespace korvane {

using CodeTableLookup = CBasicLookup<TCNameCodeInfoList>;
using CodeTableAutoLookup = CAutoLookup<TCNameCodeInfoList, int64_t (TCNameCodeInfo::*)() const,
                                        std::string (TCNameCodeInfo::*)() const>;

// Builds a lookup over host code table tableNo and hands it to holder (replacing what it held).
// A table the host cannot deliver gives an empty lookup.
void LoadCodeTable(uint16_t tableNo, std::unique_ptr<CodeTableLookup>& holder);

}  // namespace korvane
