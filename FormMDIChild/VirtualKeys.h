#pragma once

#include <QtGlobal>

namespace korvane::vk {

// The framework's virtual-key codes of the keys that the base form acts on.
constexpr quint16 kTab = 9;
constexpr quint16 kReturn = 13;
constexpr quint16 kEscape = 27;
constexpr quint16 kF3 = 114;
// Qt's codes above this (function, media and modifier keys) have no virtual key: they read as 0.
constexpr int kLargestCode = 0xFFFF;

// The virtual key of a Qt key: the named ones mapped, printable keys as their code.
constexpr quint16 FromQtKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kReturn;
        case Qt::Key_F3:
            return kF3;
        case Qt::Key_Escape:
            return kEscape;
        case Qt::Key_Tab:
            return kTab;
        default:
            return qtKey > kLargestCode ? 0 : static_cast<quint16>(qtKey);
    }
}

}  // namespace korvane::vk
