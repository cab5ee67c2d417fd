#pragma once

#include "platform/typing/KeymapSnapshot.h"

#include <QByteArray>
#include <QMap>

struct xkb_context;

// The keymap of Runeboard's virtual keyboard, which carries nothing but the
// symbols being typed: each on a keycode of its own from 200 up (Xwayland
// cannot take keycodes above 255), on both levels of a type that consumes
// Shift and Caps Lock, so no modifier can change it (the virtual keyboard's
// own modifiers are never set, but a receiver could still be told of a lock). The types and compat sections
// come from "complete", which Xwayland needs; libxkbcommon resolves the includes, so the compositor gets a
// keymap that stands on its own.
class VirtualKeymap {
public:
    static constexpr quint8 firstKeycode = 200;
    static constexpr quint8 lastKeycode = 255;

    VirtualKeymap();
    ~VirtualKeymap();
    VirtualKeymap(const VirtualKeymap&) = delete;
    VirtualKeymap& operator=(const VirtualKeymap&) = delete;

    // The keymap source for keycode → keysym (keysym 0: the keycode carries nothing).
    static QByteArray source(const QMap<quint8, quint32>& bindings);
    // The compiled keymap as libxkbcommon writes it out, without the final
    // NUL; empty when libxkbcommon refuses the source.
    QByteArray compile(const QMap<quint8, quint32>& bindings) const;
    // The keycodes of the virtual keyboard as the typing engine sees them: all spare.
    static KeymapSnapshot snapshot();

private:
    xkb_context* m_context = nullptr;
};
