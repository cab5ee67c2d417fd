#pragma once

#include "platform/HotkeyService.h"

// The hotkeys of a Wayland session: no client may grab keys there, so the
// compositor's own bindings call `runeboard --toggle` and `--set N`, which
// reach the running instance as requests. Registration succeeds and grabs nothing.
class CompositorHotkeyService : public HotkeyService {
    Q_OBJECT
public:
    using HotkeyService::HotkeyService;

    Registration registerHotkey(PhysicalKey, HotkeyModifiers, quint32) override {
        return {0, ++m_lastHandle};
    }
    void unregisterHotkey(Handle) override {}
    bool isCompositorBound() const override { return true; }

private:
    Handle m_lastHandle = 0;
};
