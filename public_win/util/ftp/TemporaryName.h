#pragma once

#include <cstddef>
#include <string>

namespace ftp {

// The longest name, in bytes, that the common servers' file systems take.
constexpr std::size_t kMaxRemoteNameBytes = 255;

// The name an upload stores under before it is published: "<final>.<8 hex>.part", with the
// final name cut at a UTF-8 character boundary where the whole would pass kMaxRemoteNameBytes.
// The random part differs per upload, so two uploads of one name never write the same file.
std::string TemporaryName(const std::string& finalName);
// The same with a given random part (8 lower-case hex digits), for tests and for the
// move-aside name of a replaced file.
std::string TemporaryName(const std::string& finalName, const std::string& random);

// Whether a name on the server is one that TemporaryName makes.
bool IsTemporaryName(const std::string& name);

// 8 lower-case hex digits from the system's random source.
std::string RandomTag();

}  // namespace ftp
