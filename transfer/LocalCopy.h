#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

#include "FileStore.h"

namespace korvane {

struct ExpectedFile;

// The local side of a download: it writes into "<local>.part" and puts the file under its name
// only once verified, so a name never holds half a file, and a file the operator had under that
// name is replaced only with their word. Nothing here looks through a symbolic link.

// Where a download of local writes until it is verified.
QString PartPath(const QString& local);

// What a local name holds now, measured against what the download will be.
struct LocalLook {
    enum class State {
        Absent,
        Same,     // a plain file of the record's size and SHA-256: nothing to download
        Shorter,  // a plain writable file shorter than the record: a copy broken off, continued
        Other,    // anything else: replaced or kept only as the operator says
    };
    State state = State::Absent;
    qint64 size = 0;
    QDateTime modified;
    bool readOnly = false;
    bool plainFile = true;  // false: a symbolic link, a folder or a device
};
// Hashes the file only when its size is the record's.
LocalLook LookAt(const QString& path, const std::optional<ExpectedFile>& expected);

// "<folder>/<base> (n)<ext>" with the first n from 1 whose name and its .part are free and not
// among taken.
QString FreeName(const QString& path, const QStringList& taken = {});

// Before the transfer: refuses a .part that is no plain file (nothing is written through it);
// without a .part, a plain file under the local name that may be a copy broken off before .part
// names were used is copied there to be continued, and stays as it is.
store::Result ReadyPart(const QString& local, const std::optional<ExpectedFile>& expected);

// Puts the verified .part in place: over local when replace, or when local is a plain writable
// file that the .part begins with (the same file, complete now); where local holds anything
// else, under a free name beside it. *saved: where the file is now.
store::Result PlacePart(const QString& local, bool replace, QString* saved);

}  // namespace korvane
