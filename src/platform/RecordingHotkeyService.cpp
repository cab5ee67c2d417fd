#include "RecordingHotkeyService.h"

HotkeyService::Registration RecordingHotkeyService::registerHotkey(quint32 keyCode, quint32 modifiers,
                                                                   quint32 id) {
    if (const auto refused = refuseKeyCode.constFind(keyCode); refused != refuseKeyCode.cend())
        return {*refused, 0};
    const Grab grab{keyCode, modifiers, id, m_nextHandle++};
    active.append(grab);
    registrations.append(grab);
    return {0, grab.handle};
}

void RecordingHotkeyService::unregisterHotkey(Handle handle) {
    unregistered.append(handle);
    active.removeIf([handle](const Grab& grab) { return grab.handle == handle; });
}

bool RecordingHotkeyService::press(quint32 keyCode, quint32 modifiers) {
    for (const Grab& grab : std::as_const(active)) {
        if (grab.keyCode == keyCode && grab.modifiers == modifiers) {
            Q_EMIT hotkeyPressed(grab.id);
            return true;
        }
    }
    return false;
}
