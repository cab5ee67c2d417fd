#pragma once

#include "platform/typing/KeyboardDevice.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/XkbKey.h"

#include <QByteArray>
#include <QHash>

// Binds keysyms with XKB and presses keys with XTEST. A bound key has one
// group (so every layout group gives the same symbol) and two levels of a key
// type that consumes Shift and Caps Lock: unless the engine asked for two
// symbols on the key, both levels are equal, so neither a held Shift nor Caps
// Lock can turn "é" into "É". (A plain core binding gets a type that leaves
// Caps Lock to the client; GTK upper-cases even through this type, so Caps
// Lock is also lifted while a key is down.) The second symbol is typed with a
// Shift key of the keymap, pressed around the key unless Shift is held.
//
// Several keycodes are changed in one request, so clients see one keymap
// change: XKB changes a contiguous range of keycodes, so the keycodes in
// between are written back exactly as they are, read under a server grab so
// that nobody can change them in between.
class X11KeyboardDevice : public KeyboardDevice {
public:
    explicit X11KeyboardDevice(const X11Connection& connection);

    bool bind(const QList<Binding>& bindings) override;
    // The change is a checked request: its reply comes after the server has sent MappingNotify to all.
    bool announcesBeforeReturning() const override { return true; }
    int levels() const override { return m_shiftKeycode ? 2 : 1; }
    int press(quint8 keycode, int level, bool exactLevel) override;
    void release(quint8 keycode) override;

    QString refusal() const override { return m_refusal; }
    // The key type every binding gets.
    quint8 keyTypeIndex() const { return m_typeIndex; }
    // Every keycode's symbols as XKB holds them now; empty when they cannot be read.
    QHash<quint8, XkbKey> readKeys() const;
    // Takes a Shift key from a freshly read keymap; without one, every key carries one symbol.
    void follow(const KeymapSnapshot& keymap);

private:
    bool writeRange(const QList<Binding>& bindings);
    // 0 when the keysyms were set, otherwise the X error code.
    int setKeySyms(quint8 first, quint8 count, quint16 totalSymbols, const QByteArray& values);
    quint8 findKeyType() const;
    void setCapsLock(bool locked);

    X11Connection m_x;
    quint8 m_typeIndex;
    QString m_refusal;
    bool m_sendsKeyTypes = false;
    // How each keycode looked before it was first bound (empty, but in the server's own form).
    QHash<quint8, QByteArray> m_original;
    int m_keysDown = 0;
    bool m_liftedCapsLock = false;
    quint8 m_shiftKeycode = 0;
    bool m_pressedShift = false;
};
