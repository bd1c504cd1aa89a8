#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <cstdint>
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

    // False when the file cannot be opened or read, or is no regular file, or is larger than
    // kMaxBytes; Error() then names the file and the reason ("<file>: <why>").
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
    // A configuration is a few kilobytes; a larger file is not one.
    static constexpr qint64 kMaxBytes = 1 << 20;
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
// The file at path alone when it is set (a --config option), else HostConfigFiles().
TELMARIS_HOST_API QStringList HostConfigFilesFor(const QString& path);
// Reads HostConfigFiles() into ini (IniFile::LoadLayers).
TELMARIS_HOST_API bool LoadHostConfig(IniFile& ini);

// A warning for standard error when the file at path holds a password (korvane_pwd, or a
// Password/PWD inside korvane_conn) and others than those meant to may read it. A machine-wide
// file (root's, or one in $XDG_CONFIG_DIRS) is for root and the group "telmaris" (the advice, as
// root: chgrp telmaris, chmod 640); any other file is its owner's own (chmod 600, as that owner
// when someone else runs the program). Empty otherwise.
TELMARIS_HOST_API QString PasswordExposureWarning(const QString& path, const IniFile& ini);
TELMARIS_HOST_API void SetHostConfigPath(const QString& path);

// The configuration as every program reads it (telmaris-host, korvane-dbtool): the file at path
// alone when path is set (a --config option), else HostConfigFiles(). Every ignored line and
// every exposed password goes to standard error under the program's name. False with *error
// naming the file and why it cannot be read, or the [SysPara] keys of required that no file
// sets (naming the files).
TELMARIS_HOST_API bool ReadConfiguration(IniFile& ini, const QString& path,
                                         const QStringList& required, QString* error);

// The host application's check of its configuration at start: ReadConfiguration, and an error
// box naming the file, the reason and the remedy when a file cannot be read. Fills ini as far as
// it could be read; false on such an error.
TELMARIS_HOST_API bool CheckHostConfig(IniFile& ini);

// The language for a program's texts before its command line is parsed: its --language, else
// [Session] Language of the configuration (its --config, else the usual files), else the system
// locale. A language that is neither is named on standard error.
TELMARIS_HOST_API QString StartupLanguage(int argc, char** argv);

// The operator of the session: --operator when given (option set), else [Session] OperatorId
// of ini. Missing, zero, non-numeric and out-of-range ids give nothing, and *error says which
// file (and line) or option to mend and how, in the operator's language.
TELMARIS_HOST_API std::optional<int32_t> SessionOperator(const std::optional<QString>& option,
                                                         const IniFile& ini, QString* error);
// The message for a session without an operator, naming where [Session] OperatorId belongs.
TELMARIS_HOST_API QString MissingOperatorMessage();

}  // namespace telmaris
