#pragma once

#include <cstdint>
#include <string>

// The host's session record, handed to a business module's CreateBusinessForm.
// Modules read OperatorId, the session text and the three trailing values, in this order.
struct SessionInfo {
    int32_t OperatorId = 0;
    int32_t Reserved = 0;
    std::string SessionText;
    int32_t Trailing1 = 0;
    int32_t Trailing2 = 0;
    int32_t Trailing3 = 0;
};
