#include "Recovery.h"

namespace korvane {

namespace {

using store::Fault;

// Whether the store holds name; nullopt when it could not tell.
std::optional<bool> Exists(store::FileStore& store, const QString& name, store::RemoteInfo* info) {
    const store::Result r = store.Info(name, info);
    if (r.Ok()) {
        return true;
    }
    if (r.fault == Fault::NotFound || r.fault == Fault::Server) {
        return false;
    }
    return std::nullopt;
}

bool Failed(const store::Result& r, QString* why) {
    if (!r.Ok() && r.fault != Fault::NotFound) {
        *why = r.reason;
        return true;
    }
    return false;
}

// Whether the file under name is this upload's: its size and then its digest.
std::optional<bool> HoldsUpload(store::FileStore& store, const db::Intent& intent) {
    store::RemoteInfo info;
    const auto there = Exists(store, intent.name, &info);
    if (!there || !*there) {
        return there;
    }
    if (info.size && static_cast<int64_t>(*info.size) != intent.tempSize) {
        return false;
    }
    QString sha;
    uint64_t size = 0;
    if (!store.Digest(intent.name, &sha, &size).Ok()) {
        return std::nullopt;
    }
    return static_cast<int64_t>(size) == intent.tempSize && sha == intent.tempSha;
}

bool RemoveIfThere(store::FileStore& store, const QString& name, QString* why) {
    store::RemoteInfo info;
    const auto there = Exists(store, name, &info);
    if (!there) {
        *why = QStringLiteral("%1: unknown").arg(name);
        return false;
    }
    return !*there || !Failed(store.Remove(name), why);
}

bool UndoPublish(store::FileStore& store, const db::Intent& intent, QString* why) {
    const auto uploaded = HoldsUpload(store, intent);
    if (!uploaded) {
        *why = QStringLiteral("%1: unknown").arg(intent.name);
        return false;
    }
    if (*uploaded && Failed(store.Rename(intent.name, intent.temp), why)) {
        return false;
    }
    if (!intent.aside.isEmpty()) {
        store::RemoteInfo aside;
        store::RemoteInfo name;
        const auto asideThere = Exists(store, intent.aside, &aside);
        const auto nameThere = Exists(store, intent.name, &name);
        if (!asideThere || !nameThere) {
            *why = QStringLiteral("%1: unknown").arg(intent.aside);
            return false;
        }
        if (*asideThere && !*nameThere && Failed(store.Rename(intent.aside, intent.name), why)) {
            return false;
        }
    }
    return RemoveIfThere(store, intent.temp, why);
}

}  // namespace

bool SettleOnStore(store::FileStore& store, const db::Intent& intent, QString* why) {
    switch (intent.phase) {
        case db::Intent::Phase::Put:
        case db::Intent::Phase::Held:
            return RemoveIfThere(store, intent.temp, why);
        case db::Intent::Phase::Publish:
            return UndoPublish(store, intent, why);
        case db::Intent::Phase::Collect:
            return RemoveIfThere(store, intent.aside, why);
    }
    return false;
}

}  // namespace korvane
