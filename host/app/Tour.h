#pragma once

#include <QString>

namespace telmaris {

class HostMainWindow;

// A scripted run of the korvane window for the main job without a display: upload a sample
// file, search for it, download it again, with a screenshot after each step. Every box is
// answered by script and its text printed. Returns the exit code: 0 only when the downloaded
// file is byte-identical to the sample.
int RunKorvaneTour(HostMainWindow& host, const QString& samplePath, const QString& shotDir);

}  // namespace telmaris
