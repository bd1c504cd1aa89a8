#include "OpenLocal.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "Translate.h"

using korvane::Tr;

namespace telmaris {

QString OpenLocal(const QString& path, bool folder) {
    const QFileInfo file(path);
    const QString target = folder ? file.absolutePath() : file.absoluteFilePath();
    if (!QFileInfo::exists(target)) {
        return (folder ? Tr("telmaris", "文件夹[%1]已不存在。")
                       : Tr("telmaris", "文件[%1]已不存在，可能已被移走或删除。"))
            .arg(target);
    }
    // False when the desktop has no program for it (no xdg-open, no file manager, no viewer
    // for the type): the operator still learns where it is.
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(target))) {
        return QString();
    }
    return (folder ? Tr("telmaris", "没有可以打开文件夹的程序，请在文件管理器中打开[%1]。")
                   : Tr("telmaris", "没有可以打开该文件的程序，文件在[%1]。"))
        .arg(target);
}

}  // namespace telmaris
