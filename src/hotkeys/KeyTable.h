#pragma once

#include "hotkeys/Hotkey.h"

#include <QKeyCombination>
#include <QString>

#include <optional>

// The one table of the keys a combination can be made of: where each sits
// (its evdev code), the name shown for it, and how the stored form names it.
// The stored form is the only foreign one: it names keys by macOS virtual key
// code, i.e. by physical position on an ANSI keyboard, and modifiers by Carbon
// mask; only HotkeySettings reads and writes it, through fromStored/toStored.
namespace KeyTable {

// A combination in its stored form. (0, 0) is the empty one; key code 0 alone is the A key.
struct StoredHotkey {
    quint32 keyCode = 0;
    quint32 modifiers = 0;
    bool operator==(const StoredHotkey&) const = default;
};
// A key code no Linux keyboard has becomes Hotkey::unknownKey; mask bits without a modifier are dropped.
Hotkey fromStored(const StoredHotkey& stored);
// Nothing when the stored form has no name for the key.
std::optional<StoredHotkey> toStored(const Hotkey& hotkey);

// The keys a combination may use: those the stored form can name.
bool isRecordable(PhysicalKey key);

// Empty for keys without a name of their own; keypad keys share the names of their main-keyboard twins.
QString keyName(PhysicalKey key);
// As Linux users read a combination: "—" for the empty one, otherwise the
// modifiers Ctrl, Alt, Shift, Super (always in that order) and the key name,
// joined by "+"; an unnamed key shows as "Key" + its evdev code ("Alt+Shift+K",
// "Super+Key86"), an unknown one as "?".
QString displayText(const Hotkey& hotkey);
// The combination as Qt names it, for shortcut hints in menus; nothing for
// the empty combination and for keys without a name. Keypad keys come out as
// their main-keyboard twins, as in the display text.
std::optional<QKeyCombination> keyCombination(const Hotkey& hotkey);
// Qt's modifiers as a combination's; the keypad flag is dropped and Meta is the Super key.
HotkeyModifiers fromQt(Qt::KeyboardModifiers modifiers);

} // namespace KeyTable
