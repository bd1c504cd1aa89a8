#include "HostConfig.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

#include "GuiServices.h"
#include "Translate.h"

using korvane::Tr;

namespace telmaris {

namespace {
// A value in double quotes keeps its blanks (a password may begin or end with one); the quotes
// themselves are not part of it.
QString Unquoted(const QString& value) {
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"')) {
        return value.mid(1, value.size() - 2);
    }
    return value;
}

// Where an operator's file and then the machine's would be.
QStringList HostConfigCandidates() {
    QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (home.isEmpty()) {
        home = QDir::homePath() + QStringLiteral("/.config");
    }
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty()) {
        dirs = QStringLiteral("/etc/xdg");
    }
    QStringList out{home + QStringLiteral("/telmaris/host.ini")};
    for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts)) {
        out << dir + QStringLiteral("/telmaris/host.ini");
    }
    return out;
}

QString& ExplicitPath() {
    static QString path;
    return path;
}
}  // namespace

bool IniFile::ReadFile(const QString& path, QByteArray& raw) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error_ = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    raw = file.readAll();
    if (file.error() != QFile::NoError) {
        error_ = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

bool IniFile::Load(const QString& path) {
    return LoadLayers({path});
}

bool IniFile::LoadLayers(const QStringList& paths) {
    lines_.clear();
    problems_.clear();
    error_.clear();
    for (const QString& path : paths) {
        QByteArray raw;
        if (!ReadFile(path, raw)) {
            lines_.clear();
            return false;
        }
        const QList<Line> layer = Read(raw, path);
        QSet<QString> overridden;
        for (const Line& l : layer) {
            overridden.insert(l.section.toLower() + u'\n' + l.key.toLower());
        }
        lines_.removeIf([&overridden](const Line& l) {
            return overridden.contains(l.section.toLower() + u'\n' + l.key.toLower());
        });
        lines_.append(layer);
    }
    return true;
}

void IniFile::Parse(const QByteArray& raw) {
    lines_.clear();
    problems_.clear();
    error_.clear();
    lines_ = Read(raw, QString());
}

QList<IniFile::Line> IniFile::Read(const QByteArray& raw, const QString& file) {
    QList<Line> out;
    QString section;
    const QString text = QString::fromUtf8(raw);
    int number = 0;
    for (const QString& rawLine : text.split(u'\n')) {
        ++number;
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) {
            problems_ << QStringLiteral("%1:%2: ignored, %3: %4")
                             .arg(file.isEmpty() ? QStringLiteral("<text>") : file)
                             .arg(number)
                             .arg(eq < 0 ? QStringLiteral("not a [section] nor a key=value line")
                                         : QStringLiteral("no key before '='"))
                             .arg(line);
            continue;
        }
        out.append(
            {section, line.left(eq).trimmed(), Unquoted(line.mid(eq + 1).trimmed()), file, number});
    }
    return out;
}

std::optional<QString> IniFile::Value(const QString& section, const QString& key) const {
    for (const Line& l : lines_) {
        if (l.section.compare(section, Qt::CaseInsensitive) == 0 &&
            l.key.compare(key, Qt::CaseInsensitive) == 0) {
            return l.value;
        }
    }
    return std::nullopt;
}

QString IniFile::Origin(const QString& section, const QString& key) const {
    for (const Line& l : lines_) {
        if (l.section.compare(section, Qt::CaseInsensitive) == 0 &&
            l.key.compare(key, Qt::CaseInsensitive) == 0) {
            return QStringLiteral("%1:%2").arg(l.file).arg(l.number);
        }
    }
    return QString();
}

QList<IniFile::Entry> IniFile::Entries(const QString& section) const {
    QList<Entry> out;
    for (const Line& l : lines_) {
        if (l.section.compare(section, Qt::CaseInsensitive) == 0) {
            out.append({l.key, l.value});
        }
    }
    return out;
}

QString HostConfigPath() {
    if (!ExplicitPath().isEmpty()) {
        return ExplicitPath();
    }
    const QString fromEnv = qEnvironmentVariable("TELMARIS_HOST_CONFIG");
    if (!fromEnv.isEmpty()) {
        return fromEnv;
    }
    const QStringList candidates = HostConfigCandidates();
    for (const QString& path : candidates) {
        if (QFileInfo::exists(path)) {
            return path;
        }
    }
    return candidates.constFirst();
}

QStringList HostConfigFiles() {
    if (!ExplicitPath().isEmpty()) {
        return {ExplicitPath()};
    }
    const QString fromEnv = qEnvironmentVariable("TELMARIS_HOST_CONFIG");
    if (!fromEnv.isEmpty()) {
        return {fromEnv};
    }
    const QStringList candidates = HostConfigCandidates();
    QStringList out;
    for (const QString& path : candidates) {
        if (QFileInfo::exists(path)) {
            out.prepend(path);
        }
    }
    if (out.isEmpty()) {
        out << candidates.constFirst();
    }
    return out;
}

bool LoadHostConfig(IniFile& ini) {
    return ini.LoadLayers(HostConfigFiles());
}

QString PasswordExposureWarning(const QString& path, const IniFile& ini) {
    const QString section = QStringLiteral("SysPara");
    // A connection string's password is as much a secret as the FTP account's.
    static const QRegularExpression connPassword(
        QStringLiteral("(^|;)\\s*(password|pwd)\\s*=\\s*[^;\\s]"),
        QRegularExpression::CaseInsensitiveOption);
    QString holds;
    if (ini.Value(section, QStringLiteral("korvane_pwd"))) {
        holds = QStringLiteral("korvane_pwd");
    } else if (ini.Value(section, QStringLiteral("korvane_conn"))
                   .value_or(QString())
                   .contains(connPassword)) {
        holds = QStringLiteral("a password in korvane_conn");
    } else {
        return QString();
    }
    const QFileInfo info(path);
    const QFileDevice::Permissions perms = info.permissions();
    if (info.ownerId() == ::geteuid()) {
        if (!(perms & (QFileDevice::ReadGroup | QFileDevice::ReadOther))) {
            return QString();
        }
        return QStringLiteral(
                   "telmaris-host: WARNING: %1 holds %2 and can be read by other users; "
                   "run: chmod 600 %1")
            .arg(path, holds);
    }
    // A machine-wide file: the group telmaris holds the operators who may read it.
    const bool groupExposed =
        (perms & QFileDevice::ReadGroup) && info.group() != QStringLiteral("telmaris");
    if (!(perms & QFileDevice::ReadOther) && !groupExposed) {
        return QString();
    }
    return QStringLiteral(
               "telmaris-host: WARNING: %1 holds %2 and can be read by users outside the group "
               "telmaris; as root run: chgrp telmaris %1 && chmod 640 %1")
        .arg(path, holds);
}

void SetHostConfigPath(const QString& path) {
    ExplicitPath() = path;
}

namespace {
// The error box's remedy for a file that cannot be read.
QString Remedy(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return Tr(
            "telmaris",
            "请按 korvane(7) 建立该文件（示例见 /usr/share/doc/telmaris-korvane/examples）。");
    }
    if (info.isDir()) {
        return Tr("telmaris", "该路径是目录，不是文件。");
    }
    if (info.ownerId() == ::geteuid()) {
        return Tr("telmaris", "本人的配置文件应可由本人读取：chmod 600 %1").arg(path);
    }
    return Tr("telmaris",
              "全机的配置文件应属于组 telmaris、权限 640（chgrp telmaris %1 && chmod 640 %1），"
              "操作员应为该组成员（adduser <操作员> telmaris，重新登录后生效）。")
        .arg(path);
}
}  // namespace

bool CheckHostConfig(IniFile& ini) {
    const QStringList files = HostConfigFiles();
    const bool loaded = ini.LoadLayers(files);
    for (const QString& problem : ini.Problems()) {
        std::fprintf(stderr, "telmaris-host: %s\n", qPrintable(problem));
    }
    for (const QString& path : files) {
        IniFile one;
        if (one.Load(path)) {
            if (const QString warning = PasswordExposureWarning(path, one); !warning.isEmpty()) {
                std::fprintf(stderr, "%s\n", qPrintable(warning));
            }
        }
    }
    if (loaded) {
        return true;
    }
    std::fprintf(stderr, "telmaris-host: cannot read the configuration %s\n",
                 qPrintable(ini.Error()));
    const auto failed = std::find_if(files.begin(), files.end(), [&ini](const QString& f) {
        return ini.Error().startsWith(f + QStringLiteral(": "));
    });
    const QString path = failed == files.end() ? files.constLast() : *failed;
    ShowGUIMessage(Tr("telmaris", "不能读取主机配置文件 %1\n%2").arg(ini.Error(), Remedy(path)),
                   QStringLiteral("TELMARIS"), MB_ICONERROR);
    return false;
}

}  // namespace telmaris
