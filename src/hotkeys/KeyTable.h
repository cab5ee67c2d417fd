#pragma once

#include "hotkeys/HotkeyConfig.h"
#include "platform/HotkeyService.h"

#include <QHash>
#include <QKeyCombination>
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

// As Linux users read a combination: "—" for the empty one, otherwise the
// modifiers Ctrl, Alt, Shift, Super (always in that order) and the key name,
// joined by "+"; an unnamed key shows as "Key" + its code ("Alt+Shift+K",
// "Super+Key10"). Only the shown text is Linux's: the stored form stays macOS's.
QString displayText(const HotkeyConfig& config);

// The combination as Qt names it, for shortcut hints in menus; nothing for
// the empty combination and for keys without a name. Keypad keys come out as
// their main-keyboard twins, as in the display text.
std::optional<QKeyCombination> keyCombination(const HotkeyConfig& config);

// Control → 4096, Alt → 2048, Shift → 512, Meta (Super) → 256; the keypad flag is dropped.
quint32 carbonModifiers(Qt::KeyboardModifiers modifiers);
// Option is Alt, Command is Super.
HotkeyModifiers fromCarbon(quint32 carbonModifiers);

} // namespace KeyTable
