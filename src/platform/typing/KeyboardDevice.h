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
        quint32 keysym = 0; // 0: the keycode carries no keysym at all
        bool operator==(const Binding&) const = default;
    };

    // Makes each keycode type its keysym on every level and in every layout
    // group, whatever Shift or Caps Lock say, all in one keymap change (every
    // change makes every client re-read the keymap, and window managers
    // re-grab their keys). False when the server refused; nothing changed then.
    virtual bool bind(const QList<Binding>& bindings) = 0;
    // True when bind() returns only after the server has made the change and
    // queued its news for every client, so that anything sent to a receiver
    // from then on reaches it behind that news.
    virtual bool announcesBeforeReturning() const { return false; }
    // Why the last bind() that failed was refused, in plain words; empty when unknown.
    virtual QString refusal() const { return {}; }
    virtual void press(quint8 keycode) = 0;
    virtual void release(quint8 keycode) = 0;
};
