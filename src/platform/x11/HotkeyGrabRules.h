#pragma once

#include "platform/HotkeyService.h"
#include "platform/typing/KeymapSnapshot.h"

#include <QByteArray>
#include <QList>
#include <QString>

// How a combination becomes X key grabs.
namespace HotkeyGrabRules {

// Core modifier bits.
inline constexpr quint16 ShiftMask = 1 << 0;
inline constexpr quint16 LockMask = 1 << 1;
inline constexpr quint16 ControlMask = 1 << 2;
inline constexpr quint16 Mod1Mask = 1 << 3; // Alt
inline constexpr quint16 Mod4Mask = 1 << 6; // Super
// The modifiers a combination is made of; the others (lock keys, AltGr) do not count when matching.
inline constexpr quint16 CombinationMask = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;

// Alt is Mod1, Super is Mod4, as in every common layout.
quint16 coreMask(HotkeyModifiers modifiers);

// The masks of Caps Lock, Num Lock and Scroll Lock; Num Lock and Scroll Lock
// are read from the modifier map (0 when no modifier carries them).
struct LockMasks {
    quint16 caps = LockMask;
    quint16 num = 0;
    quint16 scroll = 0;
    bool operator==(const LockMasks&) const = default;
};
LockMasks lockMasks(const KeymapSnapshot& keymap);

// Every combination of the lock modifiers, each once, starting with none: a
// grab is needed for each, since X matches the modifier state exactly.
QList<quint16> lockCombinations(const LockMasks& masks);

// The XKB option that makes Alt+Shift switch layouts (grp:alt_shift_toggle and
// its relatives), read from the root property _XKB_RULES_NAMES (rules, model,
// layout, variant, options, separated by NUL); empty when there is none.
QString altShiftLayoutSwitch(const QByteArray& rulesNames);

} // namespace HotkeyGrabRules
