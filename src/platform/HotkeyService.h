#pragma once

#include <QFlags>
#include <QObject>

// A key by its physical position: the Linux evdev code (KEY_K is 37), the
// same whichever layout is active.
using PhysicalKey = quint32;

enum class HotkeyModifier : quint8 { Shift = 1, Control = 2, Alt = 4, Super = 8 };
Q_DECLARE_FLAGS(HotkeyModifiers, HotkeyModifier)
Q_DECLARE_OPERATORS_FOR_FLAGS(HotkeyModifiers)

// System-wide key combinations, delivered whichever program has the focus.
class HotkeyService : public QObject {
    Q_OBJECT
public:
    using Handle = quint64;
    struct Registration {
        int status = 0;    // 0 on success, otherwise the system's error number
        Handle handle = 0; // valid only when status is 0
    };

    using QObject::QObject;
    ~HotkeyService() override = default;

    virtual Registration registerHotkey(PhysicalKey key, HotkeyModifiers modifiers, quint32 id) = 0;
    virtual void unregisterHotkey(Handle handle) = 0;
    // True where the desktop's compositor owns every key combination: its own
    // key bindings run `runeboard --toggle` and `--set N`, and registering
    // here grabs nothing.
    virtual bool isCompositorBound() const { return false; }
    // The combination the action with this id has until the user records another, for desktops
    // whose own shortcut settings offer to go back to it.
    virtual void describeDefault(quint32 id, PhysicalKey key, HotkeyModifiers modifiers) {
        Q_UNUSED(id)
        Q_UNUSED(key)
        Q_UNUSED(modifiers)
    }

Q_SIGNALS:
    // A registered combination was pressed (once per press, not per auto-repeat).
    // Emitted from the main event loop.
    void hotkeyPressed(quint32 id);
    // The desktop's own shortcut settings gave the action with this id other keys (key 0: none).
    void changedOutside(quint32 id, PhysicalKey key, HotkeyModifiers modifiers);
};
