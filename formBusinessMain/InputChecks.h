#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "ConnectionString.h"
#include "Statements.h"

namespace korvane {

// The input field that a failed check sends the operator back to.
enum class InputField { None, OrderNumber, OrderType, FilePath, Remark };

// What a check found: no message when the input may go on.
struct InputProblem {
    QString message;
    InputField field = InputField::None;
    bool Passed() const { return message.isEmpty(); }
};

// The search's conditions: at least one, and a well-formed order number.
InputProblem CheckSearch(const SearchConditions& c);

// How a database counts the length of a text column: PostgreSQL counts characters (SQLite,
// which does not count, is held to the same); Oracle counts bytes of its character set, taken
// to be AL32UTF8, so a Chinese character counts 3.
enum class LengthUnit { Characters, Utf8Bytes };
LengthUnit LengthUnitOf(db::Backend dialect);
// The length of text as unit counts it (characters are code points, not UTF-16 units).
int TextLength(const QString& text, LengthUnit unit);

// What the registration's columns hold: remark varchar(1000), down_path varchar(300) (the
// order number's 18 digits are IsOrderNumber's).
constexpr int kMaxRemarkLength = 1000;
constexpr int kMaxRemoteNameLength = 300;

// The upload's inputs, trimmed, in the order the operator meets them on the form. type is the
// order type's code ("0" for all types); isFile says whether a path names an existing file.
// The remote name (RemoteName of id and path) and the remark must fit their columns, counted
// in unit, before anything is sent.
// The statements carry no NUL, nor a backslash where the database reads it as an escape
// (noBackslash): such a text is refused here, before the file is sent, not by the INSERT after.
struct UploadInput {
    QString id;
    QString type;
    QString path;
    QString remark{};
    LengthUnit unit = LengthUnit::Characters;
    bool noBackslash = false;
};
using IsFile = std::function<bool(const QString&)>;
InputProblem CheckUpload(const UploadInput& in, const IsFile& isFile);

// The files an upload sends, each with its remote name; or the first problem with the inputs.
struct UploadPlan {
    InputProblem problem;
    QStringList paths;
    QStringList remotes;
};
// typedPaths is the file-name box as typed: one path, or several in quotes. A bare path is
// trimmed, and where its blanks are part of a file's name the operator is told which file is
// meant, never sent another one. Remote names must differ.
UploadPlan PlanUpload(UploadInput in, const QString& typedPaths, const IsFile& isFile);

}  // namespace korvane
