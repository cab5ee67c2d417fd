#pragma once

#include "platform/typing/KeyboardDevice.h"
#include "platform/wayland/VirtualKeymap.h"

#include <QMap>

#include <functional>

// The typing engine's device on a virtual keyboard: every change of bindings
// becomes one whole new keymap (the protocol has no other way), every press
// a key event with the evdev code (keycode − 8).
class WaylandKeyboardDevice : public KeyboardDevice {
public:
    struct Output {
        // Sends a whole keymap; false when it could not be sent.
        std::function<bool(const QByteArray& keymap)> keymap;
        std::function<void(quint32 evdevCode, bool pressed)> key;
    };

    explicit WaylandKeyboardDevice(Output output)
        : m_output(std::move(output)) {}

    // Sends the keymap with nothing bound; a virtual keyboard takes no key before it has one.
    bool sendEmptyKeymap() { return send(m_bindings); }

    bool bind(const QList<Binding>& bindings) override;
    int press(quint8 keycode, int, bool) override {
        m_output.key(keycode - 8u, true);
        return 0;
    }
    void release(quint8 keycode) override { m_output.key(keycode - 8u, false); }

    const QMap<quint8, quint32>& bindings() const { return m_bindings; }

private:
    bool send(const QMap<quint8, quint32>& bindings);

    Output m_output;
    VirtualKeymap m_keymap;
    QMap<quint8, quint32> m_bindings;
};
