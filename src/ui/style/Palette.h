#pragma once

#include <QColor>

namespace korvo::palette {

// The standard named colours the island's views use, defined once. The island is always dark,
// so the adaptive system colours take their dark-appearance values.
inline QColor green() {
    return QColor(0x34, 0xC7, 0x59);
}
inline QColor red() {
    return QColor(0xFF, 0x3B, 0x30);
}
inline QColor orange() {
    return QColor(0xFF, 0x95, 0x00);
}
inline QColor yellow() {
    return QColor(0xFF, 0xCC, 0x00);
}
inline QColor teal() {
    return QColor(0x30, 0xB0, 0xC7);
}
inline QColor cyan() {
    return QColor(0x32, 0xAD, 0xE6);
}
inline QColor purple() {
    return QColor(0xAF, 0x52, 0xDE);
}
inline QColor systemRed() {
    return QColor(0xFF, 0x45, 0x3A);
}
inline QColor systemPurple() {
    return QColor(0xBF, 0x5A, 0xF2);
}

}  // namespace korvo::palette
