#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <random>

namespace korvane::test {

// Bytes that differ at every position, so a shifted or spliced copy never compares equal.
inline QByteArray Pattern(qsizetype size, unsigned seed = 1) {
    QByteArray out(size, Qt::Uninitialized);
    std::mt19937 rng(seed);
    for (qsizetype i = 0; i < size; ++i) {
        out[i] = static_cast<char>(rng());
    }
    return out;
}

inline void WriteFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(content);
}

inline QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace korvane::test
