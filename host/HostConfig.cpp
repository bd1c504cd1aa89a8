#include "HostConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextStream>

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

bool IniFile::Load(const QString& path) {
    lines_.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    const QByteArray raw = file.readAll();
    if (file.error() != QFile::NoError) {
        return false;
    }
    Parse(raw);
    return true;
}

void IniFile::Parse(const QByteArray& raw) {
    lines_.clear();
    QString section;
    const QString text = QString::fromUtf8(raw);
    for (const QString& rawLine : text.split(u'\n')) {
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
            continue;
        }
        lines_.append({section, line.left(eq).trimmed(), Unquoted(line.mid(eq + 1).trimmed())});
    }
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

QString PasswordExposureWarning(const QString& path, const IniFile& ini) {
    if (!ini.Value(QStringLiteral("SysPara"), QStringLiteral("korvane_pwd"))) {
        return QString();
    }
    const QFileDevice::Permissions perms = QFile::permissions(path);
    if (!(perms & (QFileDevice::ReadGroup | QFileDevice::ReadOther))) {
        return QString();
    }
    return QStringLiteral(
               "telmaris-host: WARNING: %1 holds korvane_pwd and can be read by other users; "
               "run: chmod 600 %1")
        .arg(path);
}

void SetHostConfigPath(const QString& path) {
    ExplicitPath() = path;
}

}  // namespace telmaris
