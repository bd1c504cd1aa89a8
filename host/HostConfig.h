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

    // False when the file cannot be opened or read; Error() then names the file and the reason.
    bool Load(const QString& path);
    // Reads the files in order, each one's keys replacing those of the files before it key by
    // key (a key of a section that a later file sets at all is taken from that file alone).
    // False at the first file that cannot be read, with Error() naming it.
    bool LoadLayers(const QStringList& paths);
    // Replaces the entries with those of an INI file's bytes (UTF-8).
    void Parse(const QByteArray& raw);

    std::optional<QString> Value(const QString& section, const QString& key) const;
    // Every key=value line of a section, in file order (repeated keys included).
    QList<Entry> Entries(const QString& section) const;
    // "<file>:<line>" of the line Value() answers from; empty when there is none.
    QString Origin(const QString& section, const QString& key) const;

    QString Error() const { return error_; }
    // What the reader ignored, as "<file>:<line>: <why>: <line's text>".
    QStringList Problems() const { return problems_; }

private:
    struct Line {
        QString section;
        QString key;
        QString value;
        QString file;
        int number = 0;
    };
    // The lines of raw, or the problems, as coming from file.
    QList<Line> Read(const QByteArray& raw, const QString& file);
    bool ReadFile(const QString& path, QByteArray& raw);

    QList<Line> lines_;
    QString error_;
    QStringList problems_;
};

// Where the host's configuration lives: the path set by the host application (its --config
// option), else $TELMARIS_HOST_CONFIG, else the first telmaris/host.ini that exists in
// $XDG_CONFIG_HOME (~/.config when unset) and then in each of $XDG_CONFIG_DIRS (/etc/xdg when
// unset). With none, the operator's path.
TELMARIS_HOST_API QString HostConfigPath();

// The files the configuration is read from, the weakest first: the --config or
// $TELMARIS_HOST_CONFIG file alone; else every telmaris/host.ini that exists in $XDG_CONFIG_DIRS
// (the last folder first) and then the operator's own, so that the operator's file overrides
// the machine's key by key. With none, the operator's path.
TELMARIS_HOST_API QStringList HostConfigFiles();
// Reads HostConfigFiles() into ini (IniFile::LoadLayers).
TELMARIS_HOST_API bool LoadHostConfig(IniFile& ini);

// A warning for the host's standard error when the file at path holds a password (korvane_pwd,
// or a Password/PWD inside korvane_conn) and others than those meant to may read it: anyone but
// the owner of an operator's own file (the advice: chmod 600), anyone outside the group
// "telmaris" of a machine-wide file (chgrp telmaris, chmod 640). Empty otherwise.
TELMARIS_HOST_API QString PasswordExposureWarning(const QString& path, const IniFile& ini);
TELMARIS_HOST_API void SetHostConfigPath(const QString& path);

// The host application's check of its configuration at start: every ignored line and every
// exposed password on standard error, and an error box naming the file, the reason and the
// remedy when a file cannot be read. Fills ini as far as it could be read; false on such an error.
TELMARIS_HOST_API bool CheckHostConfig(IniFile& ini);

}  // namespace telmaris
