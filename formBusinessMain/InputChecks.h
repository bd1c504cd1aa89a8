#pragma once

#include <QString>
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
struct UploadInput {
    QString id;
    QString type;
    QString path;
    QString remark{};
    LengthUnit unit = LengthUnit::Characters;
};
InputProblem CheckUpload(const UploadInput& in, const std::function<bool(const QString&)>& isFile);

}  // namespace korvane
