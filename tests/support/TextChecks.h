#pragma once

#include <gtest/gtest.h>
#include <QByteArray>
#include <QString>
#include <QStringList>

// Text checks for EXPECT_TRUE/EXPECT_FALSE whose failures print the text they looked at.
namespace korvane::test {

namespace detail {
inline std::string Shown(const QString& s) {
    return '"' + s.toStdString() + '"';
}
inline std::string Shown(const QByteArray& s) {
    return '"' + s.toStdString() + '"';
}
inline std::string Shown(const QStringList& s) {
    return "[\"" + s.join(QStringLiteral("\", \"")).toStdString() + "\"]";
}
template <class Text, class Part>
::testing::AssertionResult Judged(bool found, const Text& text, const char* how, const Part& part) {
    auto result = found ? ::testing::AssertionSuccess() : ::testing::AssertionFailure();
    return result << Shown(text) << (found ? " " : " does not ") << how << ' ' << Shown(part);
}
}  // namespace detail

template <class Text, class Part>
::testing::AssertionResult Contains(const Text& text, const Part& part) {
    return detail::Judged(text.contains(part), text, "contain", Text(part));
}
template <class Text, class Part>
::testing::AssertionResult StartsWith(const Text& text, const Part& part) {
    return detail::Judged(text.startsWith(part), text, "start with", Text(part));
}
template <class Text, class Part>
::testing::AssertionResult EndsWith(const Text& text, const Part& part) {
    return detail::Judged(text.endsWith(part), text, "end with", Text(part));
}

}  // namespace korvane::test
