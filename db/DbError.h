#pragma once

#include <QString>
#include <stdexcept>

namespace korvane::db {

// Every failure of the data layer: connecting, running a statement, reading a field.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& Message() const { return message_; }

private:
    QString message_;
};

}  // namespace korvane::db
