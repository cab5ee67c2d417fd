#pragma once

#include <QList>
#include <QString>

// X keysyms carry whole code points: Latin-1 as itself, everything else as
// 0x01000000 + code point. Tab and newline stand for the Tab and Return keys.
namespace Keysyms {

inline constexpr quint32 NoSymbol = 0;
inline constexpr quint32 Return = 0xff0d;
inline constexpr quint32 Tab = 0xff09;
inline constexpr quint32 NumLock = 0xff7f;
inline constexpr quint32 ScrollLock = 0xff14;

// The keysym that types `scalar`; NoSymbol for surrogates, values past U+10FFFF
// and control characters other than tab and newline.
quint32 forScalar(char32_t scalar);
// Whether a keysym made by forScalar() stands for a symbol outside the Basic
// Multilingual Plane (two UTF-16 units).
constexpr bool isAstral(quint32 keysym) {
    return keysym >= 0x01010000 && keysym <= 0x0110ffff;
}
// The text a list of keysyms made by forScalar() stands for.
QString textOf(const QList<quint32>& keysyms);

} // namespace Keysyms
