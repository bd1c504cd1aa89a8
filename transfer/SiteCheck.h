#pragma once

#include <QString>
#include <cstdio>

namespace korvane {

// korvane-dbtool --check: compares a site's registrations with its store's folder, both as the
// host's configuration names them (configPath alone when set, else the machine's and the
// operator's files, read as the host reads them: korvane_conn, korvane_ip, korvane_user,
// korvane_pwd, korvane_path and the korvane_ftp_* options). Lists on out the rows whose file is
// missing, the recorded files whose size or SHA-256 differs from the record, and the temporary
// upload files older than a day; repair removes those temporary files and nothing else. Ends with
// one summary line. 0: nothing found; 1: something found; 2: the check could not be made.
int RunSiteCheck(const QString& configPath, bool repair, std::FILE* out);

// How old a temporary upload file must be to count as left over.
constexpr int kStaleTemporarySeconds = 24 * 3600;

}  // namespace korvane
