#pragma once

#include <QtGlobal>

// What the typing engine needs of the display server. Requests reach the
// server in the order they are made.
class KeyboardDevice {
public:
    virtual ~KeyboardDevice() = default;

    // Makes `keycode` type `keysym` on every level and in every layout group,
    // whatever Shift or Caps Lock say. False when the server refused.
    virtual bool bind(quint8 keycode, quint32 keysym) = 0;
    // Leaves `keycode` without any keysym again.
    virtual bool unbind(quint8 keycode) = 0;
    virtual void press(quint8 keycode) = 0;
    virtual void release(quint8 keycode) = 0;
};
