#pragma once

#include "platform/HotkeyService.h"

#include <QList>

// Keeps the registered combinations, for tests, and simulates presses.
class RecordingHotkeyService : public HotkeyService {
    Q_OBJECT
public:
    struct Grab {
        PhysicalKey key;
        HotkeyModifiers modifiers;
        quint32 id;
        Handle handle;
    };

    using HotkeyService::HotkeyService;

    Registration registerHotkey(PhysicalKey key, HotkeyModifiers modifiers, quint32 id) override;
    void unregisterHotkey(Handle handle) override;

    // Emits hotkeyPressed for the id registered for this combination, if any.
    bool press(PhysicalKey key, HotkeyModifiers modifiers);

    QList<Grab> active; // what is registered now

private:
    Handle m_nextHandle = 1;
};
