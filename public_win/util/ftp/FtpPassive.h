#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ftp {

// Where a passive-mode server listens, as its reply says.
struct PassiveTarget {
    std::string host;  // empty: the control connection's peer (EPSV names no address)
    uint16_t port = 0;
};

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": the address and port; nullopt when the reply
// holds no six numbers of 0 to 255 (RFC 959 leaves the parentheses optional).
std::optional<PassiveTarget> ParsePasvReply(const std::string& text);

// "229 Entering Extended Passive Mode (|||port|)", with any delimiter character (RFC 2428).
std::optional<PassiveTarget> ParseEpsvReply(const std::string& text);

}  // namespace ftp
