#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

#include "HostApi.h"

namespace telmaris {

// The replacement host's configuration file: an INI file read in file order.
// [SysPara] holds system parameters, [CodeTable<N>] code=name entries, [Session] the operator.
// Lines starting with ';' or '#' are comments; a value is everything after the first '=',
// without surrounding white space; a value in double quotes keeps its blanks. Section and key names
// are compared ignoring case.
class TELMARIS_HOST_API IniFile {
public:
    using Entry = QPair<QString, QString>;

    // False when the file cannot be opened or read.
    bool Load(const QString& path);
    // Replaces the entries with those of an INI file's bytes (UTF-8).
    void Parse(const QByteArray& raw);

    std::optional<QString> Value(const QString& section, const QString& key) const;
    // Every key=value line of a section, in file order (repeated keys included).
    QList<Entry> Entries(const QString& section) const;

private:
    struct Line {
        QString section;
        QString key;
        QString value;
    };
    QList<Line> lines_;
};

// Where the host's configuration lives: the path set by the host application (its --config
// option), else $TELMARIS_HOST_CONFIG, else the first telmaris/host.ini that exists in
// $XDG_CONFIG_HOME (~/.config when unset) and then in each of $XDG_CONFIG_DIRS (/etc/xdg when
// unset), so an operator's own file overrides the machine's. With none, the operator's path.
TELMARIS_HOST_API QString HostConfigPath();

// A warning for the host's standard error when the file at path holds korvane_pwd and others
// than its owner may read it; empty otherwise.
TELMARIS_HOST_API QString PasswordExposureWarning(const QString& path, const IniFile& ini);
TELMARIS_HOST_API void SetHostConfigPath(const QString& path);

}  // namespace telmaris
