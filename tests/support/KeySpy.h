#pragma once

#include <QEvent>
#include <QKeyEvent>
#include <QObject>

namespace korvane::test {

// Counts the presses of one key that reach the object it filters.
class KeySpy : public QObject {
public:
    KeySpy(int key, int* count) : key_(key), count_(count) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == key_) {
            ++*count_;
        }
        return false;
    }

private:
    int key_;
    int* count_;
};

}  // namespace korvane::test
