#pragma once

#include "platform/HotkeyService.h"
#include "platform/ModifierMonitor.h"
#include "platform/TypingBackend.h"
#include "platform/TypingSetup.h"
#include "platform/UserText.h"
#include "platform/WindowSystem.h"

#include <memory>

// Everything the system supplies, made by one platform's factory and chosen
// once at start (src/app's PlatformChooser). AppState owns it and hands out
// references.
struct PlatformServices {
    std::unique_ptr<TypingBackend> typing;
    std::unique_ptr<HotkeyService> hotkeys;
    std::unique_ptr<ModifierMonitor> shiftMonitor;
    std::unique_ptr<WindowSystem> windowSystem;
    // Why typing cannot work, or works only in part, in this session; said
    // once at launch. Empty when typing works everywhere.
    UserText typingProblem;
    // What the desktop still needs before typing reaches every program; none where nothing does.
    std::unique_ptr<TypingSetup> setup;
};
