#include "PathList.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "TrimBlanks.h"

namespace korvane {

QString JoinPathList(const QStringList& paths) {
    // A bare path is read back trimmed: one with blanks at an end keeps them in quotes.
    if (paths.size() == 1 && telmaris::TrimBlanks(paths.first()) == paths.first()) {
        return paths.first();
    }
    QStringList quoted;
    for (const QString& p : paths) {
        quoted << u'"' + p + u'"';
    }
    return quoted.join(u' ');
}

QStringList SplitPathList(const QString& text) {
    if (!text.startsWith(u'"')) {
        return text.isEmpty() ? QStringList() : QStringList{text};
    }
    QStringList paths;
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype open = text.indexOf(u'"', at);
        if (open < 0) {
            break;
        }
        const qsizetype close = text.indexOf(u'"', open + 1);
        if (close < 0) {
            paths << text.mid(open + 1);  // an unclosed quote: the rest is the last path
            break;
        }
        paths << text.mid(open + 1, close - open - 1);
        at = close + 1;
    }
    return paths;
}

QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr) {
        return files;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) {
            files << url.toLocalFile();
        }
    }
    return files;
}

}  // namespace korvane
