#pragma once

#include <QMetaType>
#include <QObject>

// Carbon modifier bits, the stored form of a combination's modifiers.
namespace CarbonModifier {
inline constexpr quint32 Command = 256;
inline constexpr quint32 Shift = 512;
inline constexpr quint32 Option = 2048;
inline constexpr quint32 Control = 4096;
// A recorded combination needs at least one of these; Shift alone is not enough.
inline constexpr quint32 Required = Command | Option | Control;
} // namespace CarbonModifier

// One key combination: a macOS virtual key code (a physical key position) and
// a Carbon modifier mask. (0, 0) is "no hotkey"; key code 0 alone is the A key.
struct HotkeyConfig {
    Q_GADGET
    Q_PROPERTY(quint32 keyCode MEMBER keyCode)
    Q_PROPERTY(quint32 modifiers MEMBER modifiers)

public:
    quint32 keyCode = 0;
    quint32 modifiers = 0;

    bool isEmpty() const { return keyCode == 0 && modifiers == 0; }
    bool operator==(const HotkeyConfig&) const = default;
};
Q_DECLARE_METATYPE(HotkeyConfig)
