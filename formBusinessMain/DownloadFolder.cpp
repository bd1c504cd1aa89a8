#include "DownloadFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include "Translate.h"

using korvane::Tr;

namespace korvane {

namespace {
DownloadFolder Usable(const QString& dir, const WritableProbe& writable) {
    if (QDir().mkpath(dir) && QFileInfo(dir).isDir() && writable(dir)) {
        return {QDir::cleanPath(dir), QString()};
    }
    return {QString(), Tr("korvane", "下载目录[%1]无法创建或不可写，请检查！").arg(dir)};
}
}  // namespace

DownloadFolder ChooseDownloadFolder(const QString& configured, const QString& programDir,
                                    const QString& userDownloads, const WritableProbe& writable) {
    if (!configured.isEmpty()) {
        return Usable(configured, writable);
    }
    if (QFileInfo(programDir).isDir() && writable(programDir)) {
        return {programDir, QString()};
    }
    return Usable(userDownloads, writable);
}

bool CanCreateFilesIn(const QString& dir) {
    QTemporaryFile probe(dir + QStringLiteral("/.korvane-probe-XXXXXX"));
    return probe.open();
}

}  // namespace korvane
