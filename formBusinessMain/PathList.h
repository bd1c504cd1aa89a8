#pragma once

#include <QString>
#include <QStringList>

class QMimeData;

namespace korvane {

// Several local files in one edit box, as file dialogs write them: each path in double quotes,
// separated by blanks ("/a/x.txt" "/b/y.txt"). One path stands bare unless the box's trimming
// would change it.
QString JoinPathList(const QStringList& paths);
// The paths of such a text; a text that does not start with a quote is one path.
QStringList SplitPathList(const QString& text);
// The local files among dropped data (folders and remote URLs are not files to upload).
QStringList DroppedFiles(const QMimeData* data);

}  // namespace korvane
