#pragma once

#include <gtest/gtest.h>

#include "FindChild.h"

namespace korvane::test {

// The named child of the window; when there is none the test fails, naming it.
template <class T>
T* Child(const QObject* window, const char* name) {
    return FindChild<T>(window, name, [](const char* missing) {
        ADD_FAILURE() << "the window has no child named " << missing;
    });
}

}  // namespace korvane::test
