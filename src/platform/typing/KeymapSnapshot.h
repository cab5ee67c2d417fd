#pragma once

#include <QHash>
#include <QList>

#include <array>

// The server's keyboard mapping at one moment, as far as typing and grabbing
// need it: the keysyms of every keycode and which keycodes drive a modifier.
struct KeymapSnapshot {
    quint8 minKeycode = 8;
    quint8 maxKeycode = 255;
    // keycode → its keysyms, NoSymbol entries left out; keycodes without any are absent.
    QHash<quint8, QList<quint32>> symbols;
    // The eight modifiers (Shift, Lock, Control, Mod1…Mod5) and the keycodes that drive each.
    std::array<QList<quint8>, 8> modifiers;

    bool isEmpty(quint8 keycode) const { return !symbols.contains(keycode); }
    // True when the keycode types `first` without Shift and nothing but it and
    // `second` otherwise (the core mapping may leave the second level out).
    bool holdsLevels(quint8 keycode, quint32 first, quint32 second) const;
    bool drivesModifier(quint8 keycode) const;
    // The modifier mask of the first modifier driven by a key that carries `keysym`; 0 when none.
    quint16 modifierMaskOf(quint32 keysym) const;

    // Keycodes that carry no keysym and drive no modifier, in the order they
    // should be taken. Other tools take the lowest empty keycode, the highest,
    // or the ten just below the maximum; those come last so that Runeboard and
    // such a tool seldom reach for the same key.
    QList<quint8> spareKeycodes() const;
};
