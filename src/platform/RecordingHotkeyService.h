#pragma once

#include "HotkeyService.h"

#include <QHash>
#include <QList>

// Keeps the registered combinations, for tests; can refuse some and simulate presses.
class RecordingHotkeyService : public HotkeyService {
    Q_OBJECT
public:
    struct Grab {
        quint32 keyCode;
        quint32 modifiers;
        quint32 id;
        Handle handle;
        bool operator==(const Grab&) const = default;
    };

    using HotkeyService::HotkeyService;

    Registration registerHotkey(quint32 keyCode, quint32 modifiers, quint32 id) override;
    void unregisterHotkey(Handle handle) override;

    // Emits hotkeyPressed for the id registered for this combination, if any.
    bool press(quint32 keyCode, quint32 modifiers);

    QList<Grab> active;                // what is registered now
    QList<Grab> registrations;         // every successful registration, in order
    QList<Handle> unregistered;        // every release, in order
    QHash<quint32, int> refuseKeyCode; // key code → status to answer with

private:
    Handle m_nextHandle = 1;
};
