#include "platform/wayland/WaylandPlatform.h"

#include "platform/null/NullWindowSystem.h"
#include "platform/null/UnavailableModifierMonitor.h"
#include "platform/wayland/CompositorHotkeyService.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandTypingBackend.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11ModifierMonitor.h"
#include "platform/x11/X11WindowSystem.h"

#include <QGuiApplication>

namespace WaylandPlatform {

std::optional<PlatformServices> create(UserText* whyNot) {
    std::unique_ptr<WaylandConnection> connection = WaylandConnection::open(whyNot);
    if (!connection)
        return std::nullopt;

    PlatformServices services;
    services.typing = std::make_unique<WaylandTypingBackend>(std::move(connection));
    services.hotkeys = std::make_unique<CompositorHotkeyService>();
    const std::optional<X11Connection> x11 =
        QGuiApplication::platformName() == QLatin1String("xcb") ? X11Connection::fromQt() : std::nullopt;
    if (x11) {
        std::unique_ptr<X11WindowSystem> windows = X11WindowSystem::create(*x11);
        windows->setFloatsUnmanaged(true);
        services.windowSystem = std::move(windows);
        // Sees Shift only while an Xwayland window has the focus; no protocol tells more.
        auto shift = std::make_unique<X11ModifierMonitor>(*x11);
        shift->setFollowsEveryWindow(false);
        services.shiftMonitor = std::move(shift);
    } else {
        services.windowSystem = std::make_unique<NullWindowSystem>();
        services.shiftMonitor = std::make_unique<UnavailableModifierMonitor>();
    }
    services.typingProblem = services.typing->unavailableReason();
    return services;
}

UserText compositorProblem() {
    return WaylandConnection::probe();
}

} // namespace WaylandPlatform
