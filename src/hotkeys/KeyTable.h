#pragma once

#include "hotkeys/HotkeyConfig.h"
#include "platform/HotkeyService.h"

#include <QHash>
#include <QString>

#include <optional>

// Stored combinations name keys by macOS virtual key code, i.e. by physical
// position on an ANSI keyboard, and modifiers by Carbon mask. This is the one
// table that turns them into what the platform grabs (the Linux evdev code of
// the key at the same place) and into the names shown to the user.
namespace KeyTable {

// Physical positions; X keycodes are evdev codes + 8.
std::optional<PhysicalKey> toEvdev(quint32 macKeyCode);
std::optional<quint32> fromEvdev(PhysicalKey evdevCode);
inline std::optional<quint32> fromXKeycode(quint32 xKeycode) {
    return xKeycode >= 8 ? fromEvdev(xKeycode - 8) : std::nullopt;
}

// The 92 named macOS virtual key codes; keypad keys share the names of their main-keyboard twins.
const QHash<quint32, QString>& keyNameTable();

// "—" for the empty combination; modifier glyphs (⌃⌥⇧⌘ in that order) then
// the key name; an unnamed key shows as "Key" + its code.
QString displayText(const HotkeyConfig& config);

// Control → 4096, Alt → 2048, Shift → 512, Meta (Super) → 256; the keypad flag is dropped.
quint32 carbonModifiers(Qt::KeyboardModifiers modifiers);
// Option is Alt, Command is Super.
HotkeyModifiers fromCarbon(quint32 carbonModifiers);

} // namespace KeyTable
