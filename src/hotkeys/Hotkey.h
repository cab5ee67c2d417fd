#pragma once

#include "platform/HotkeyService.h"

#include <QMetaType>

// One key combination as Linux sees it: the key by its physical position (an
// evdev code, whichever layout is active) and the modifiers. The empty one is
// "no hotkey".
struct Hotkey {
    // What a stored combination names when no Linux keyboard has its key; the platform refuses it.
    static constexpr PhysicalKey unknownKey = PhysicalKey(-1);
    // A combination needs one of these: with Shift alone or none it would take
    // a character away from every program.
    static constexpr HotkeyModifiers requiredModifiers =
        HotkeyModifier::Control | HotkeyModifier::Alt | HotkeyModifier::Super;

    PhysicalKey key = 0;
    HotkeyModifiers modifiers;

    bool isEmpty() const { return key == 0 && !modifiers; }
    // Empty, or a key with Control, Alt or Super.
    bool isUsable() const { return isEmpty() || (key != 0 && (modifiers & requiredModifiers)); }
    bool operator==(const Hotkey&) const = default;
};
Q_DECLARE_METATYPE(Hotkey)
