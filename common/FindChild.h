#pragma once

#include <QLatin1String>
#include <QObject>

namespace korvane {

// The child of parent named name, of type T, found at any depth; null when there is none, after
// onMissing(name) has said so in the caller's way.
template <class T, class OnMissing>
T* FindChild(const QObject* parent, const char* name, OnMissing&& onMissing) {
    T* child = parent->findChild<T*>(QLatin1String(name));
    if (child == nullptr) {
        onMissing(name);
    }
    return child;
}

}  // namespace korvane
