#include "RecordingHotkeyService.h"

HotkeyService::Registration RecordingHotkeyService::registerHotkey(PhysicalKey key, HotkeyModifiers modifiers,
                                                                   quint32 id) {
    const Grab grab{key, modifiers, id, m_nextHandle++};
    active.append(grab);
    return {0, grab.handle};
}

void RecordingHotkeyService::unregisterHotkey(Handle handle) {
    active.removeIf([handle](const Grab& grab) { return grab.handle == handle; });
}

bool RecordingHotkeyService::press(PhysicalKey key, HotkeyModifiers modifiers) {
    for (const Grab& grab : std::as_const(active)) {
        if (grab.key == key && grab.modifiers == modifiers) {
            Q_EMIT hotkeyPressed(grab.id);
            return true;
        }
    }
    return false;
}
