#include "platform/null/NullPlatform.h"

#include "platform/null/NullWindowSystem.h"
#include "platform/null/UnavailableHotkeyService.h"
#include "platform/null/UnavailableModifierMonitor.h"
#include "platform/null/UnavailableTypingBackend.h"

namespace NullPlatform {

PlatformServices create(const UserText& reason) {
    PlatformServices services;
    services.typingProblem = reason;
    services.typing = std::make_unique<UnavailableTypingBackend>(reason);
    services.hotkeys = std::make_unique<UnavailableHotkeyService>();
    services.shiftMonitor = std::make_unique<UnavailableModifierMonitor>();
    services.windowSystem = std::make_unique<NullWindowSystem>();
    return services;
}

} // namespace NullPlatform
