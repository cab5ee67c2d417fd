#pragma once

#include "platform/x11/KeyboardDevice.h"
#include "platform/x11/X11Connection.h"

// Binds keysyms with XKB and presses keys with XTEST. A bound key has one
// group (so every layout group gives the same symbol) and two equal levels of
// a key type that consumes Shift and Caps Lock: neither a held Shift nor Caps
// Lock can turn "é" into "É". (A plain core binding gets a type that leaves
// Caps Lock to the client, and GTK then upper-cases it.)
class X11KeyboardDevice : public KeyboardDevice {
public:
    explicit X11KeyboardDevice(const X11Connection& connection);

    bool bind(quint8 keycode, quint32 keysym) override;
    bool unbind(quint8 keycode) override;
    void press(quint8 keycode) override;
    void release(quint8 keycode) override;

    int lastError() const { return m_lastError; }
    quint8 keyTypeIndex() const { return m_typeIndex; }

private:
    bool setSymbols(quint8 keycode, quint8 groups, quint8 width, quint32 keysym);
    quint8 findKeyType() const;

    X11Connection m_x;
    quint8 m_typeIndex;
    int m_lastError = 0;
};
