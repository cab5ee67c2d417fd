#pragma once

#include <QString>

// The two sizes of the keyboard, stored by their raw strings.
enum class KeyboardSize { Compact, Full };

inline QString rawString(KeyboardSize size) {
    return size == KeyboardSize::Full ? QStringLiteral("Full") : QStringLiteral("Compact");
}

// Anything but "Full" is the compact keyboard.
inline KeyboardSize keyboardSizeFromRaw(const QString& raw) {
    return raw == QLatin1String("Full") ? KeyboardSize::Full : KeyboardSize::Compact;
}
