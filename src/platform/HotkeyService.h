#pragma once

#include <QObject>

// System-wide key combinations, delivered whichever program has the focus.
// Combinations are given as a macOS virtual key code (a physical key position)
// and a Carbon modifier mask (256 Command, 512 Shift, 2048 Option, 4096 Control),
// the form in which they are stored.
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

    virtual Registration registerHotkey(quint32 keyCode, quint32 modifiers, quint32 id) = 0;
    virtual void unregisterHotkey(Handle handle) = 0;

Q_SIGNALS:
    // A registered combination was pressed (once per press, not per auto-repeat).
    // Emitted from the main event loop.
    void hotkeyPressed(quint32 id);
};
