#pragma once

#include "platform/typing/KeymapSnapshot.h"

#include <QByteArray>
#include <QList>
#include <QMap>

struct xkb_context;

// The keymap of Runeboard's virtual keyboard, which carries nothing but the
// symbols being typed, each on a key of its own, on both levels of a type
// that consumes Shift and Caps Lock, so no modifier can change it (the virtual
// keyboard's own modifiers are never set, but a receiver could still be told
// of a lock). The keymap is Runeboard's own, so any key could carry any
// symbol, but receivers do not read every key by its symbol alone: Chromium
// and Electron programs take a key's character from the keymap only for the
// keys of the typing block (letters, digits, punctuation) and act on the
// others by their code (Backspace, Tab, function and media keys), whatever
// they carry. So symbols go on those keys only. The types and compat
// sections come from "complete", which Xwayland needs; libxkbcommon resolves
// the includes, so the compositor gets a keymap that stands on its own.
class VirtualKeymap {
public:
    VirtualKeymap();
    ~VirtualKeymap();
    VirtualKeymap(const VirtualKeymap&) = delete;
    VirtualKeymap& operator=(const VirtualKeymap&) = delete;

    // The XKB keycodes (evdev code + 8) that may carry a symbol, in ascending order.
    static const QList<quint8>& keycodes();
    static bool carriesSymbols(quint8 keycode);

    // The keymap source for keycode → keysym (keysym 0: the keycode carries nothing).
    static QByteArray source(const QMap<quint8, quint32>& bindings);
    // The compiled keymap as libxkbcommon writes it out, without the final
    // NUL; empty when libxkbcommon refuses the source.
    QByteArray compile(const QMap<quint8, quint32>& bindings) const;
    // The keycodes of the virtual keyboard as the typing engine sees them:
    // those of keycodes() are spare, every other one is taken.
    static KeymapSnapshot snapshot();

private:
    xkb_context* m_context = nullptr;
};
