#pragma once

#include <cstddef>
#include <cstdint>

#include "UniqueFd.h"

namespace ftp {

// A local file's descriptor that closes itself.
using LocalFile = UniqueFd;

// Opens the download target for reading and writing, creating it when missing and keeping its
// content, and takes it for this process alone (no other download may write it meanwhile).
// *created says whether this call made the file, with mode 0600. -1 with errno on failure:
// EPERM for a target that is a link, not a regular file or not the operator's own.
int OpenDownloadTarget(const char* path, bool* created);
// Gives a file created by OpenDownloadTarget the mode of a new file once its download is done.
void MakeDownloadPublic(int fd);

// Writes all n bytes at the file position; false with errno on failure.
bool WriteAll(int fd, const char* data, std::size_t n);

// Whether the n bytes at offset of fd equal data (false also when they cannot be read).
bool SameBytesAt(int fd, int64_t offset, const char* data, std::size_t n);

}  // namespace ftp
