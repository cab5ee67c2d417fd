#pragma once

#include <QtGlobal>

#include <optional>

// Stored combinations name keys by macOS virtual key code, i.e. by physical
// position on an ANSI keyboard. On Linux a physical position is an evdev scan
// code; X keycodes are evdev codes + 8.
namespace MacKeyCodes {

std::optional<quint32> fromEvdev(quint32 evdevCode);
std::optional<quint32> toEvdev(quint32 macKeyCode);

inline std::optional<quint32> fromXKeycode(quint32 xKeycode) {
    return xKeycode >= 8 ? fromEvdev(xKeycode - 8) : std::nullopt;
}
inline std::optional<quint32> toXKeycode(quint32 macKeyCode) {
    const auto evdev = toEvdev(macKeyCode);
    return evdev ? std::optional<quint32>(*evdev + 8) : std::nullopt;
}

} // namespace MacKeyCodes
