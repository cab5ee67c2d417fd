#pragma once

#include <QColor>
#include <QPalette>

// The colour roles the settings windows draw with, taken from the widget's
// set so they follow light and dark themes.
namespace SemanticColors {

inline bool isDark(const QPalette& set) {
    return set.color(QPalette::Window).lightnessF() < 0.5;
}

inline QColor withAlpha(QColor color, qreal alpha) {
    color.setAlphaF(color.alphaF() * alpha);
    return color;
}

inline QColor label(const QPalette& set) {
    return set.color(QPalette::WindowText);
}
inline QColor secondaryLabel(const QPalette& set) {
    return withAlpha(label(set), 0.55);
}
inline QColor tertiaryLabel(const QPalette& set) {
    return withAlpha(label(set), 0.3);
}
inline QColor accent(const QPalette& set) {
    return set.color(QPalette::Highlight);
}
inline QColor controlBackground(const QPalette& set) {
    return set.color(QPalette::Base);
}
inline QColor separator(const QPalette& set) {
    return withAlpha(label(set), 0.2);
}

// The system green and blue of the set markers, a shade lighter on dark themes.
inline QColor green(const QPalette& set) {
    return isDark(set) ? QColor(0x30, 0xd1, 0x58) : QColor(0x28, 0xb4, 0x4a);
}
inline QColor blue(const QPalette& set) {
    return isDark(set) ? QColor(0x0a, 0x84, 0xff) : QColor(0x00, 0x7a, 0xff);
}

} // namespace SemanticColors
