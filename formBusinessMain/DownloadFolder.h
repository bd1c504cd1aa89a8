#pragma once

#include <QString>
#include <functional>

namespace korvane {

// Where a download goes, or why it cannot go anywhere (then path is empty).
struct DownloadFolder {
    QString path;
    QString error;
};

// Whether files can be created in a directory that exists.
using WritableProbe = std::function<bool(const QString& dir)>;

// The folder for downloads: `configured` (the system parameter korvane_down_dir) when set;
// else the host executable's directory when the operator may write it; else the operator's
// download folder. A chosen folder that is missing is created; one that cannot be created or
// written gives an error naming it, and no other folder is tried.
DownloadFolder ChooseDownloadFolder(const QString& configured, const QString& programDir,
                                    const QString& userDownloads, const WritableProbe& writable);

// Tries to create a file in dir: the answer for this user, root included, and for read-only
// mounts.
bool CanCreateFilesIn(const QString& dir);

}  // namespace korvane
