#pragma once

#include "hotkeys/HotkeyConfig.h"

#include <QHash>
#include <QString>

// How a combination is shown: modifier glyphs (⌃⌥⇧⌘ in that order) then the key name.
namespace KeyNames {

// The 92 named macOS virtual key codes.
const QHash<quint32, QString>& keyNameTable();

// "—" for the empty combination; an unnamed key shows as "Key" + its code.
QString displayText(const HotkeyConfig& config);

// Control → 4096, Alt → 2048, Shift → 512, Meta (Super) → 256; the keypad flag is dropped.
quint32 carbonModifiers(Qt::KeyboardModifiers modifiers);

} // namespace KeyNames
