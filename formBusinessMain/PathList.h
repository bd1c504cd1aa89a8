#pragma once

#include <QByteArray>
#include <QHash>
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

// Local file names whose bytes are not UTF-8: text cannot carry them (QFile::decodeName gives
// replacement characters that QFile::encodeName does not turn back into those bytes). Such a
// path is shown decoded as GB18030, the legacy code page's superset, where that reads it, and
// the transfer opens it through a link whose name text can carry.
class LocalNames {
public:
    // The path for bytes, remembering the bytes where text cannot give them back.
    QString Text(const QByteArray& bytes);
    // Whether text names a regular file.
    bool IsFile(const QString& text) const;
    // What a transfer opens for text: text itself, or a link to its bytes made in linkDir.
    QString Openable(const QString& text, const QString& linkDir) const;

private:
    QHash<QString, QByteArray> bytes_;
};

// The local files among dropped data (folders and remote addresses are not files to upload),
// as names holds them.
QStringList DroppedFiles(const QMimeData* data, LocalNames& names);

}  // namespace korvane
