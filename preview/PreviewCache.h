#pragma once

#include <QString>
#include <cstdint>

#include "TransferJob.h"

namespace korvane {

// The operator's private copies of previewed files, one per content: named by the SHA-256 and
// size the registration recorded, so an earlier version and the current file of one name are
// two entries and a file registered twice is one. The folder is the owner's alone (0700, files
// 0600), its size is bounded, and the copies used longest ago go first.
class PreviewCache {
public:
    static constexpr int64_t kDefaultBoundMiB = 256;

    // folder: created when first needed; bound: bytes the copies may take together.
    PreviewCache(QString folder, int64_t bound);

    // $XDG_CACHE_HOME/korvane/preview (~/.cache without it).
    static QString DefaultFolder();

    const QString& Folder() const { return folder_; }
    int64_t Bound() const { return bound_; }
    void SetBound(int64_t bound) { bound_ = bound; }

    // Makes the folder, owner-only; false with the reason when it cannot be used.
    bool Prepare(QString* error) const;
    // Where the verified copy of file lives, and where its bytes arrive before they are checked.
    QString PathOf(const ExpectedFile& file) const;
    QString PartOf(const ExpectedFile& file) const;

    // The verified copy of file, marked as just used; empty when there is none. A copy whose
    // bytes no longer match (changed on disk) is removed, never shown.
    QString Find(const ExpectedFile& file) const;
    // Puts part, whose bytes were found to be file, in place and trims the folder to its bound;
    // the path of the copy, empty when it cannot be moved.
    QString Admit(const QString& part, const ExpectedFile& file) const;
    // Removes the copies used longest ago (partial ones included) until the rest fit the bound;
    // keep stays whatever its size.
    void Trim(const QString& keep = QString()) const;
    // Bytes the copies take now.
    int64_t Used() const;

private:
    QString folder_;
    int64_t bound_;
};

}  // namespace korvane
