#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace korvane::bench {

// A file of mib MiB whose blocks all differ, so a spliced or shifted copy shows.
inline void MakeFile(const QString& path, qint64 mib) {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 i = 0; i < mib; ++i) {
        for (int j = 0; j < block.size(); j += 4) {
            *reinterpret_cast<uint32_t*>(block.data() + j) =
                static_cast<uint32_t>(i * 2654435761u + j);
        }
        f.write(block);
    }
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace korvane::bench
