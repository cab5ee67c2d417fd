#pragma once

#include "platform/HotkeyService.h"

// Stands in where no global hotkeys exist: every registration fails with status -1.
class UnavailableHotkeyService : public HotkeyService {
    Q_OBJECT
public:
    static constexpr int unsupported = -1;

    using HotkeyService::HotkeyService;

    Registration registerHotkey(PhysicalKey, HotkeyModifiers, quint32) override { return {unsupported, 0}; }
    void unregisterHotkey(Handle) override {}
};
