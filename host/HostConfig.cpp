#include "HostConfig.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTextStream>
#include <algorithm>
#include <cerrno>
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

// The one file that --config or $TELMARIS_HOST_CONFIG names; empty without either.
QString OverridePath() {
    return ExplicitPath().isEmpty() ? qEnvironmentVariable("TELMARIS_HOST_CONFIG") : ExplicitPath();
}
}  // namespace

bool IniFile::ReadFile(const QString& path, QByteArray& raw) {
    // Opened without waiting (a FIFO would block) and checked on the descriptor that is read,
    // so that no device, pipe or folder passes for a configuration.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error_ = path + QStringLiteral(": ") + qt_error_string(errno);
        return false;
    }
    QFile file;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error_ = path + QStringLiteral(": ") + Tr("telmaris", "不是普通文件");
        return false;
    }
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    raw = file.read(kMaxBytes + 1);
    if (file.error() != QFile::NoError) {
        error_ = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    if (raw.size() > kMaxBytes) {
        error_ = path + QStringLiteral(": ") +
                 Tr("telmaris", "文件大于 %1 字节，不是配置文件").arg(kMaxBytes);
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
            problems_ << QStringLiteral("%1:%2: %3: %4")
                             .arg(file.isEmpty() ? QStringLiteral("<text>") : file)
                             .arg(number)
                             .arg(eq < 0 ? Tr("telmaris", "已忽略，既不是 [节] 也不是 键=值")
                                         : Tr("telmaris", "已忽略，'=' 前没有键"))
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
    if (const QString path = OverridePath(); !path.isEmpty()) {
        return path;
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
    if (const QString path = OverridePath(); !path.isEmpty()) {
        return {path};
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

QStringList HostConfigFilesFor(const QString& path) {
    return path.isEmpty() ? HostConfigFiles() : QStringList{path};
}

bool LoadHostConfig(IniFile& ini) {
    return ini.LoadLayers(HostConfigFiles());
}

namespace {
QString ProgramName() {
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("telmaris") : name;
}

// What in a file is a secret: korvane_pwd, or a password inside the connection string.
QString SecretHeld(const IniFile& ini) {
    const QString section = QStringLiteral("SysPara");
    static const QRegularExpression connPassword(
        QStringLiteral("(^|;)\\s*(password|pwd)\\s*=\\s*[^;\\s]"),
        QRegularExpression::CaseInsensitiveOption);
    if (ini.Value(section, QStringLiteral("korvane_pwd"))) {
        return QStringLiteral("korvane_pwd");
    }
    if (ini.Value(section, QStringLiteral("korvane_conn"))
            .value_or(QString())
            .contains(connPassword)) {
        return Tr("telmaris", "korvane_conn 中的密码");
    }
    return QString();
}

// Root's files and those in the machine's configuration folders are the machine's.
bool IsMachineFile(const QFileInfo& info) {
    if (info.ownerId() == 0) {
        return true;
    }
    const QString folder = info.absoluteDir().absolutePath();
    const QStringList candidates = HostConfigCandidates();
    return std::any_of(candidates.begin() + 1, candidates.end(), [&folder](const QString& c) {
        return QFileInfo(c).absolutePath() == folder;
    });
}

QString UserName(uint id) {
    const passwd* pw = ::getpwuid(id);
    return pw != nullptr ? QString::fromLocal8Bit(pw->pw_name) : QString::number(id);
}
}  // namespace

QString PasswordExposureWarning(const QString& path, const IniFile& ini) {
    const QString holds = SecretHeld(ini);
    if (holds.isEmpty()) {
        return QString();
    }
    const QFileInfo info(path);
    const QFileDevice::Permissions perms = info.permissions();
    if (IsMachineFile(info)) {
        const bool groupExposed =
            (perms & QFileDevice::ReadGroup) && info.group() != QStringLiteral("telmaris");
        if (!(perms & QFileDevice::ReadOther) && !groupExposed) {
            return QString();
        }
        return Tr("telmaris",
                  "%1：警告：%2 含有%3，组 telmaris 以外的用户也能读取；请以 root 运行：chgrp "
                  "telmaris %2 && chmod 640 %2")
            .arg(ProgramName(), path, holds);
    }
    if (!(perms & (QFileDevice::ReadGroup | QFileDevice::ReadOther))) {
        return QString();
    }
    const QString advice = info.ownerId() == ::geteuid()
                               ? Tr("telmaris", "请运行：chmod 600 %1").arg(path)
                               : Tr("telmaris", "请以其所有者 %2 运行：chmod 600 %1")
                                     .arg(path, UserName(info.ownerId()));
    return Tr("telmaris", "%1：警告：%2 含有%3，其他用户也能读取；%4")
        .arg(ProgramName(), path, holds, advice);
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
    if (!info.isFile()) {
        return Tr("telmaris", "配置只能是普通文件，该路径不是。");
    }
    if (!IsMachineFile(info)) {
        return Tr("telmaris", "本人的配置文件应可由本人读取：chmod 600 %1").arg(path);
    }
    return Tr("telmaris",
              "全机的配置文件应属于组 telmaris、权限 640（chgrp telmaris %1 && chmod 640 %1），"
              "操作员应为该组成员（adduser <操作员> telmaris，重新登录后生效）。")
        .arg(path);
}

void ReportOnStandardError(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}
}  // namespace

bool ReadConfiguration(IniFile& ini, const QString& path, const QStringList& required,
                       QString* error) {
    const QStringList files = HostConfigFilesFor(path);
    const bool loaded = ini.LoadLayers(files);
    for (const QString& problem : ini.Problems()) {
        ReportOnStandardError(ProgramName() + QStringLiteral(": ") + problem);
    }
    for (const QString& file : files) {
        IniFile one;
        if (one.Load(file)) {
            if (const QString warning = PasswordExposureWarning(file, one); !warning.isEmpty()) {
                ReportOnStandardError(warning);
            }
        }
    }
    if (!loaded) {
        *error = Tr("telmaris", "不能读取配置文件 %1").arg(ini.Error());
        return false;
    }
    QStringList missing;
    for (const QString& key : required) {
        if (ini.Value(QStringLiteral("SysPara"), key).value_or(QString()).isEmpty()) {
            missing << key;
        }
    }
    if (!missing.isEmpty()) {
        *error = Tr("telmaris", "配置中没有 %1：请在 %2 的 [SysPara] 中设置")
                     .arg(missing.join(QStringLiteral(", ")), files.join(Tr("telmaris", " 或 ")));
        return false;
    }
    return true;
}

bool CheckHostConfig(IniFile& ini) {
    QString error;
    if (ReadConfiguration(ini, QString(), {}, &error)) {
        return true;
    }
    ReportOnStandardError(ProgramName() + QStringLiteral(": ") + error);
    const QStringList files = HostConfigFiles();
    const auto failed = std::find_if(files.begin(), files.end(), [&ini](const QString& f) {
        return ini.Error().startsWith(f + QStringLiteral(": "));
    });
    const QString path = failed == files.end() ? files.constLast() : *failed;
    ShowGUIMessage(Tr("telmaris", "不能读取主机配置文件 %1\n%2").arg(ini.Error(), Remedy(path)),
                   QStringLiteral("TELMARIS"), MB_ICONERROR);
    return false;
}

namespace {
// The value of an option before the parser, whose texts are in the chosen language, exists:
// "--name value" or "--name=value"; the last one counts.
QString EarlyOption(int argc, char** argv, const char* name) {
    const QByteArray flag = QByteArray("--") + name;
    QString value;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == flag && i + 1 < argc) {
            value = QString::fromLocal8Bit(argv[++i]);
        } else if (arg.startsWith(flag + '=')) {
            value = QString::fromLocal8Bit(arg.mid(flag.size() + 1));
        }
    }
    return value;
}
}  // namespace

QString StartupLanguage(int argc, char** argv) {
    IniFile ini;
    // A file that cannot be read is reported later, in words.
    ini.LoadLayers(HostConfigFilesFor(EarlyOption(argc, argv, "config")));
    QString rejected;
    const QString language = ChooseLanguage(
        EarlyOption(argc, argv, "language"),
        ini.Value(QStringLiteral("Session"), QStringLiteral("Language")).value_or(QString()),
        QLocale::system(), &rejected);
    if (!rejected.isEmpty()) {
        std::fprintf(stderr, "%s: unknown language \"%s\" (zh_CN or en), using %s\n",
                     qPrintable(ProgramName()), qPrintable(rejected), qPrintable(language));
    }
    return language;
}

QString MissingOperatorMessage() {
    // Where the operator's setting belongs: the one file given, else the operator's own.
    const QString given = OverridePath();
    const QString own = given.isEmpty() ? HostConfigCandidates().constFirst() : given;
    return Tr("telmaris",
              "没有操作员编号，不能打开业务模块。请在 %1 的 [Session] 中设置 OperatorId=<编号>"
              "（[CodeTable285] 中的编号，不能为 0），或以 --operator <编号> 启动。")
        .arg(own);
}

std::optional<int32_t> SessionOperator(const std::optional<QString>& option, const IniFile& ini,
                                       QString* error) {
    const auto configured = ini.Value(QStringLiteral("Session"), QStringLiteral("OperatorId"));
    const std::optional<QString> text = option ? option : configured;
    bool ok = false;
    const int id = text ? text->trimmed().toInt(&ok) : 0;
    if (ok && id != 0) {
        return id;
    }
    if (!text || text->trimmed().isEmpty()) {
        *error = MissingOperatorMessage();
    } else if (option) {
        *error = Tr("telmaris", "--operator %1 不是操作员编号：应为不是 0 的整数。").arg(*option);
    } else {
        *error = Tr("telmaris",
                    "%1 中 [Session] OperatorId=%2 不是操作员编号：应为 [CodeTable285] 中不是 0 "
                    "的整数。")
                     .arg(ini.Origin(QStringLiteral("Session"), QStringLiteral("OperatorId")),
                          *configured);
    }
    return std::nullopt;
}

}  // namespace telmaris
