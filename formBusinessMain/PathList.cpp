#include "PathList.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QStringDecoder>
#include <QUrl>
#include <iterator>

#include <sys/stat.h>
#include <unistd.h>

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

QString LocalNames::Text(const QByteArray& bytes) {
    const QString text = QFile::decodeName(bytes);
    if (QFile::encodeName(text) == bytes) {
        return text;
    }
    QStringDecoder legacy("GB18030");
    QString shown = legacy.decode(bytes);
    if (legacy.hasError()) {
        shown = text;
    }
    bytes_.insert(shown, bytes);
    return shown;
}

bool LocalNames::IsFile(const QString& text) const {
    const auto raw = bytes_.constFind(text);
    if (raw == bytes_.cend()) {
        return QFileInfo(text).isFile();
    }
    struct stat st {};
    return ::stat(raw->constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QString LocalNames::Openable(const QString& text, const QString& linkDir) const {
    const auto raw = bytes_.constFind(text);
    if (raw == bytes_.cend()) {
        return text;
    }
    // Numbered: two names may read alike once decoded.
    const QString link = linkDir + u'/' + QString::number(std::distance(bytes_.cbegin(), raw)) +
                         u'-' + text.mid(text.lastIndexOf(u'/') + 1);
    if (::symlink(raw->constData(), QFile::encodeName(link).constData()) != 0) {
        return text;  // reported missing, as it would be without the link
    }
    return link;
}

QStringList DroppedFiles(const QMimeData* data, LocalNames& names) {
    QStringList files;
    if (data == nullptr) {
        return files;
    }
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) {
            continue;
        }
        // The address's bytes as they are: toLocalFile() would read them as UTF-8.
        const QString path =
            names.Text(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
        if (names.IsFile(path)) {
            files << path;
        }
    }
    return files;
}

}  // namespace korvane
