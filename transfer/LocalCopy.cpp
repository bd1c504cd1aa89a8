#include "LocalCopy.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Sha256.h"
#include "TransferJob.h"
#include "Translate.h"

namespace korvane {

namespace {
// lstat: what the name itself is, never what a link points to.
bool Stat(const QString& path, struct stat* st) {
    return ::lstat(QFile::encodeName(path).constData(), st) == 0;
}

bool PlainWritable(const struct stat& st) {
    return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) != 0;
}

// Whether the file at path begins with every byte of the file at prefix.
bool BeginsWith(const QString& path, const QString& prefix) {
    QFile whole(path);
    QFile start(prefix);
    if (!whole.open(QIODevice::ReadOnly) || !start.open(QIODevice::ReadOnly) ||
        start.size() > whole.size()) {
        return false;
    }
    constexpr qint64 kBlock = 1 << 17;
    while (!start.atEnd()) {
        const QByteArray a = start.read(kBlock);
        if (a.isEmpty() || whole.read(a.size()) != a) {
            return false;
        }
    }
    return true;
}

store::Result LocalFailure(const QString& text) {
    return store::Result::Failure(store::Fault::Local, text, errno);
}

store::Result NotPlaced(const QString& name, const QString& why, const QString& part) {
    return LocalFailure(
        Tr("korvane", "不能把下载的文件改名为[%1]：%2，它保留在[%3]。").arg(name, why, part));
}
}  // namespace

QString PartPath(const QString& local) {
    return local + QStringLiteral(".part");
}

LocalLook LookAt(const QString& path, const std::optional<ExpectedFile>& expected) {
    using State = LocalLook::State;
    LocalLook look;
    struct stat st {};
    if (!Stat(path, &st)) {
        return look;
    }
    look.size = static_cast<qint64>(st.st_size);
    look.modified = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
    look.readOnly = (st.st_mode & S_IWUSR) == 0;
    look.plainFile = S_ISREG(st.st_mode);
    look.state = State::Other;
    if (!look.plainFile || !expected) {
        return look;  // without a record nobody can tell a copy of it
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size == expected->size && QString::fromStdString(ftp::Sha256OfFile(
                                      QFile::encodeName(path).constData())) == expected->sha256) {
        look.state = State::Same;
    } else if (size < expected->size && !look.readOnly) {
        look.state = State::Shorter;
    }
    return look;
}

QString FreeName(const QString& path, const QStringList& taken) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    struct stat st {};
    for (int n = 1;; ++n) {
        const QString candidate = info.path() + u'/' + base + QStringLiteral(" (%1)").arg(n) + ext;
        if (!taken.contains(candidate) && !Stat(candidate, &st) &&
            !Stat(PartPath(candidate), &st)) {
            return candidate;
        }
    }
}

store::Result ReadyPart(const QString& local, const std::optional<ExpectedFile>& expected) {
    const QString part = PartPath(local);
    struct stat st {};
    if (Stat(part, &st)) {
        if (!S_ISREG(st.st_mode)) {
            return LocalFailure(
                Tr("korvane", "[%1]不是普通文件，下载不能写入它，请移走它后再下载。").arg(part));
        }
        return store::Result::Success();  // continued as the store resumes any partial copy
    }
    if (Stat(local, &st) && PlainWritable(st) && st.st_size > 0 &&
        (!expected || static_cast<uint64_t>(st.st_size) < expected->size)) {
        // A copy, not a rename: if it is not the beginning of this file after all, the store
        // starts the .part afresh and the file under the local name is still there.
        if (QFile::copy(local, part)) {
            QFile::setPermissions(part, QFile::ReadOwner | QFile::WriteOwner);
        }
    }
    return store::Result::Success();
}

store::Result PlacePart(const QString& local, bool replace, QString* saved) {
    const QString part = PartPath(local);
    *saved = local;
    struct stat st {};
    const bool taken = Stat(local, &st);
    if (replace || (taken && PlainWritable(st) && BeginsWith(part, local))) {
        // rename(2) replaces the name itself: a link is replaced, never what it points to.
        if (std::rename(QFile::encodeName(part).constData(),
                        QFile::encodeName(local).constData()) == 0) {
            return store::Result::Success();
        }
        return NotPlaced(local, QString::fromLocal8Bit(std::strerror(errno)), part);
    }
    if (taken) {
        *saved = FreeName(local);
    }
    // QFile::rename never replaces a file: one that appeared meanwhile is kept as well.
    QFile file(part);
    if (!file.rename(*saved)) {
        return NotPlaced(*saved, file.errorString(), part);
    }
    return store::Result::Success();
}

}  // namespace korvane
