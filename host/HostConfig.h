#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

#include "HostApi.h"

namespace telmaris {

// The replacement host's configuration file: an INI file read in file order.
// [SysPara] holds system parameters, [CodeTable<N>] code=name entries, [Session] the operator.
// Lines starting with ';' or '#' are comments; a value is everything after the first '=',
// without surrounding white space. Section and key names are compared ignoring case.
class TELMARIS_HOST_API IniFile {
public:
    using Entry = QPair<QString, QString>;

    // False when the file cannot be opened or read.
    bool Load(const QString& path);

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
// option), else $TELMARIS_HOST_CONFIG, else $XDG_CONFIG_HOME/telmaris/host.ini
// (~/.config when XDG_CONFIG_HOME is unset).
TELMARIS_HOST_API QString HostConfigPath();
TELMARIS_HOST_API void SetHostConfigPath(const QString& path);

}  // namespace telmaris
