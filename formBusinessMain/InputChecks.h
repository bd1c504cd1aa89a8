#pragma once

#include <QString>
#include <functional>

#include "Statements.h"

namespace korvane {

// The input field that a failed check sends the operator back to.
enum class InputField { None, OrderNumber, OrderType, FilePath };

// What a check found: no message when the input may go on.
struct InputProblem {
    QString message;
    InputField field = InputField::None;
    bool Passed() const { return message.isEmpty(); }
};

// The search's conditions: at least one, and a well-formed order number.
InputProblem CheckSearch(const SearchConditions& c);

// The upload's inputs, trimmed, in the order the operator meets them on the form. type is the
// order type's code ("0" for all types); isFile says whether a path names an existing file.
struct UploadInput {
    QString id;
    QString type;
    QString path;
};
InputProblem CheckUpload(const UploadInput& in, const std::function<bool(const QString&)>& isFile);

}  // namespace korvane
