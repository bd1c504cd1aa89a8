#include "PreviewCache.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <algorithm>

#include "Sha256.h"
#include "Translate.h"

namespace korvane {

namespace {

constexpr QFile::Permissions kOwnerFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kOwnerFolder = kOwnerFile | QFile::ExeOwner;

QFileInfoList Entries(const QString& folder) {
    return QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Time | QDir::Reversed);
}

}  // namespace

PreviewCache::PreviewCache(QString folder, int64_t bound)
    : folder_(std::move(folder)), bound_(bound) {}

QString PreviewCache::DefaultFolder() {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty()) {
        base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    }
    return base + QStringLiteral("/korvane/preview");
}

bool PreviewCache::Prepare(QString* error) const {
    if (!QDir().mkpath(folder_) || !QFile::setPermissions(folder_, kOwnerFolder)) {
        *error = Tr("korvane", "预览缓存目录[%1]无法创建或写入。").arg(folder_);
        return false;
    }
    return true;
}

QString PreviewCache::PathOf(const ExpectedFile& file) const {
    return QStringLiteral("%1/%2-%3").arg(folder_, file.sha256).arg(file.size);
}

QString PreviewCache::PartOf(const ExpectedFile& file) const {
    return PathOf(file) + QStringLiteral(".part");
}

QString PreviewCache::Find(const ExpectedFile& file) const {
    const QString path = PathOf(file);
    QFile copy(path);
    if (!copy.exists()) {
        return QString();
    }
    if (static_cast<uint64_t>(copy.size()) != file.size ||
        QString::fromStdString(ftp::Sha256OfFile(QFile::encodeName(path).constData())) !=
            file.sha256) {
        copy.remove();
        return QString();
    }
    // The time of last use orders the eviction.
    if (copy.open(QIODevice::ReadWrite)) {
        copy.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
    }
    return path;
}

QString PreviewCache::Admit(const QString& part, const ExpectedFile& file) const {
    const QString path = PathOf(file);
    QFile::remove(path);
    if (!QFile::setPermissions(part, kOwnerFile) || !QFile::rename(part, path)) {
        QFile::remove(part);
        return QString();
    }
    Trim(path);
    return path;
}

void PreviewCache::Trim(const QString& keep) const {
    const QFileInfoList entries = Entries(folder_);
    const QString kept = keep.isEmpty() ? QString() : QFileInfo(keep).absoluteFilePath();
    int64_t used = 0;
    for (const QFileInfo& e : entries) {
        used += e.size();
    }
    for (const QFileInfo& e : entries) {  // oldest first
        if (used <= bound_) {
            break;
        }
        if (e.absoluteFilePath() != kept && QFile::remove(e.absoluteFilePath())) {
            used -= e.size();
        }
    }
}

int64_t PreviewCache::Used() const {
    int64_t used = 0;
    for (const QFileInfo& e : Entries(folder_)) {
        used += e.size();
    }
    return used;
}

}  // namespace korvane
