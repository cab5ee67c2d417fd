#pragma once

#include <QList>
#include <QString>

// What the typing engine needs of the display server. Requests reach the
// server in the order they are made.
class KeyboardDevice {
public:
    virtual ~KeyboardDevice() = default;

    struct Binding {
        quint8 keycode = 0;
        quint32 keysym = 0;  // 0: the keycode carries no keysym at all
        quint32 shifted = 0; // what the second level carries; 0: the same as the first
        bool operator==(const Binding&) const = default;
    };

    // Makes each keycode type its keysym in every layout group, whatever Caps
    // Lock says, and with Shift its shifted keysym, all in one keymap change
    // (every change makes every client re-read the keymap, and window managers
    // re-grab their keys). False when the server refused; nothing changed then.
    virtual bool bind(const QList<Binding>& bindings) = 0;
    // 2 when press() can reach a key's second level; a device that cannot gets no shifted keysym.
    virtual int levels() const { return 1; }
    // True when bind() returns only after the server has made the change and
    // queued its news for every client, so that anything sent to a receiver
    // from then on reaches it behind that news.
    virtual bool announcesBeforeReturning() const { return false; }
    // Why the last bind() that failed was refused, in plain words; empty when unknown.
    virtual QString refusal() const { return {}; }
    // Presses the key at `level` (1: with Shift, pressed by the device itself
    // unless it is held already) and returns the level the press came out at.
    // With `exactLevel` (the key's levels differ), a key that would not come
    // out at `level` is not pressed at all: -1. So it is when the user holds
    // Shift for a first level, or holds another modifier that Shift would
    // join for a second (Alt+Shift switches the layout in many setups).
    virtual int press(quint8 keycode, int level, bool exactLevel) = 0;
    virtual void release(quint8 keycode) = 0;
};
