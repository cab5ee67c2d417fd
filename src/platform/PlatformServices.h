#pragma once

#include "platform/HotkeyService.h"
#include "platform/ModifierMonitor.h"
#include "platform/TypingBackend.h"

#include <QString>

#include <memory>

// The platform facilities the application runs on, chosen once at start
// (X11Platform::create() on Linux). AppState owns one and hands out references.
struct PlatformServices {
    std::unique_ptr<TypingBackend> typing;
    std::unique_ptr<HotkeyService> hotkeys;
    std::unique_ptr<ModifierMonitor> shiftMonitor;
    // Why typing cannot work, or works only in part, in this session: one plain
    // English sentence for the launch check; empty when typing works.
    QString typingProblem;
};
