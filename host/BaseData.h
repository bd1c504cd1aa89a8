#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HostApi.h"

// One entry of a host code table: a display name (at most 127 bytes) and a 64-bit code.
struct TELMARIS_HOST_API TCNameCodeInfo {
    char name[128] = {};
    int64_t code = 0;

    TCNameCodeInfo() = default;
    TCNameCodeInfo(int64_t c, const std::string& n);

    int64_t GetCode() const { return code; }
    std::string GetName() const { return name; }
};

using TCNameCodeInfoList = std::vector<TCNameCodeInfo>;

// Fills list with the entries of [CodeTable<tableNo>] of the host configuration, in file order.
// An entry whose code is not a whole decimal number is skipped. *loaded (when given) receives the
// number of entries delivered. False when the configuration cannot be read.
TELMARIS_HOST_API bool GetCodeCNameTable(uint16_t tableNo, TCNameCodeInfoList& list,
                                         int32_t* loaded);
