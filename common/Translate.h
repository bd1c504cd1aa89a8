#pragma once

#include <QCoreApplication>
#include <QString>

namespace korvane {

// A text for the operator in the language the application chose. Written as
// Tr("<context>", "<Chinese source text>") so that the translation tools find every text
// (they are told that Tr is QCoreApplication::translate).
inline QString Tr(const char* context, const char* source) {
    return QCoreApplication::translate(context, source);
}

}  // namespace korvane
