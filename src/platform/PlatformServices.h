#pragma once

#include "platform/HotkeyService.h"
#include "platform/ModifierMonitor.h"
#include "platform/TypingBackend.h"
#include "platform/WindowSystem.h"

#include <QString>

#include <memory>

// Everything the system supplies, chosen once at start by one platform's
// factory (X11Platform::create(), or NullPlatform::create() where there is
// none). AppState owns it and hands out references.
struct PlatformServices {
    std::unique_ptr<TypingBackend> typing;
    std::unique_ptr<HotkeyService> hotkeys;
    std::unique_ptr<ModifierMonitor> shiftMonitor;
    std::unique_ptr<WindowSystem> windowSystem;
    // Why typing cannot work, or works only in part, in this session: one plain
    // English sentence for the launch check; empty when typing works.
    QString typingProblem;

    // The launch check: when typing cannot work, or works only for some programs,
    // writes "Внимание: приложению нужны разрешения Accessibility для ввода текста."
    // and then typingProblem, each as one line on standard output. Returns
    // whether it wrote anything.
    bool writeLaunchCheck() const;
};
