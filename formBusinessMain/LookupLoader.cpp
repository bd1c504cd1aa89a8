#include "LookupLoader.h"

namespace korvane {

void LoadCodeTable(uint16_t tableNo, std::unique_ptr<CodeTableLookup>& holder) {
    TCNameCodeInfoList list;
    int32_t delivered = 0;
    GetCodeCNameTable(tableNo, list, &delivered);
    holder = std::make_unique<CodeTableAutoLookup>(list, &TCNameCodeInfo::GetCode,
                                                   &TCNameCodeInfo::GetName);
}

}  // namespace korvane
