#pragma once

#include <QColor>
#include <QPalette>

// The colour roles the settings windows draw with, taken from the widget's
// palette so they follow light and dark themes.
namespace SemanticColors {

inline bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

inline QColor withAlpha(QColor color, qreal alpha) {
    color.setAlphaF(color.alphaF() * alpha);
    return color;
}

inline QColor label(const QPalette& palette) {
    return palette.color(QPalette::WindowText);
}
inline QColor secondaryLabel(const QPalette& palette) {
    return withAlpha(label(palette), 0.55);
}
inline QColor tertiaryLabel(const QPalette& palette) {
    return withAlpha(label(palette), 0.3);
}
inline QColor accent(const QPalette& palette) {
    return palette.color(QPalette::Highlight);
}
inline QColor controlBackground(const QPalette& palette) {
    return palette.color(QPalette::Base);
}
inline QColor separator(const QPalette& palette) {
    return withAlpha(label(palette), 0.2);
}

// The system green and blue of the set markers, a shade lighter on dark themes.
inline QColor green(const QPalette& palette) {
    return isDark(palette) ? QColor(0x30, 0xd1, 0x58) : QColor(0x28, 0xb4, 0x4a);
}
inline QColor blue(const QPalette& palette) {
    return isDark(palette) ? QColor(0x0a, 0x84, 0xff) : QColor(0x00, 0x7a, 0xff);
}

} // namespace SemanticColors
