#pragma once

#include <QList>
#include <QString>

// X keysyms carry whole code points: Latin-1 as itself, everything else as
// 0x01000000 + code point. A few control characters stand for the keys that
// type them (a newline is the Return key).
namespace Keysyms {

inline constexpr quint32 NoSymbol = 0;
inline constexpr quint32 Return = 0xff0d;
inline constexpr quint32 Tab = 0xff09;
inline constexpr quint32 BackSpace = 0xff08;
inline constexpr quint32 Escape = 0xff1b;
inline constexpr quint32 Delete = 0xffff;
inline constexpr quint32 NumLock = 0xff7f;
inline constexpr quint32 ScrollLock = 0xff14;

// The keysym that types `scalar`; NoSymbol for surrogates, values past U+10FFFF
// and control characters that no key types.
quint32 forScalar(char32_t scalar);
// The text a list of keysyms made by forScalar() stands for.
QString textOf(const QList<quint32>& keysyms);

} // namespace Keysyms
