#include "platform/wayland/WaylandKeyboardDevice.h"

bool WaylandKeyboardDevice::bind(const QList<Binding>& bindings) {
    QMap<quint8, quint32> next = m_bindings;
    for (const Binding& binding : bindings) {
        if (!VirtualKeymap::carriesSymbols(binding.keycode))
            return false;
        if (binding.keysym == 0)
            next.remove(binding.keycode);
        else
            next.insert(binding.keycode, binding.keysym);
    }
    if (!send(next))
        return false;
    m_bindings = next;
    return true;
}

bool WaylandKeyboardDevice::send(const QMap<quint8, quint32>& bindings) {
    const QByteArray keymap = m_keymap.compile(bindings);
    return !keymap.isEmpty() && m_output.keymap(keymap);
}
