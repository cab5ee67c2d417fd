#include "platform/kde/KdePlatform.h"

#include "platform/kde/KdeHotkeyService.h"
#include "platform/kde/KdeTypingBackend.h"
#include "platform/kde/KwinConnection.h"
#include "platform/kde/KwinFakeInputSetup.h"
#include "platform/null/UnavailableModifierMonitor.h"
#include "platform/x11/X11Platform.h"
#include "platform/x11/Xcb.h"

#include <QGuiApplication>

namespace KdePlatform {

bool isKdeWayland(const QByteArray& currentDesktop, const QByteArray& sessionType,
                  const QByteArray& waylandDisplay) {
    const bool kde = currentDesktop.toLower().split(':').contains("kde");
    return kde && (sessionType == "wayland" || (sessionType.isEmpty() && !waylandDisplay.isEmpty()));
}

std::optional<PlatformServices> create() {
    if (!isKdeWayland(qgetenv("XDG_CURRENT_DESKTOP"), qgetenv("XDG_SESSION_TYPE"),
                      qgetenv("WAYLAND_DISPLAY")))
        return std::nullopt;
    UserText problem;
    std::unique_ptr<KwinConnection> kwin = KwinConnection::open(&problem);
    if (!kwin)
        return std::nullopt; // the Wayland and X11 backends say what is wrong with the compositor

    PlatformServices services;
    X11Platform::XwaylandServices x11 = X11Platform::forXwayland();
    services.windowSystem = std::move(x11.windowSystem);
    services.shiftMonitor =
        x11.shiftMonitor ? std::move(x11.shiftMonitor) : std::make_unique<UnavailableModifierMonitor>();
    services.hotkeys =
        std::make_unique<KdeHotkeyService>(QDBusConnection::sessionBus(), std::move(x11.hotkeys));

    auto setup = std::make_unique<KwinFakeInputSetup>(kwin->hasFakeInput(), kwin->dataControl() != nullptr);
    services.typingProblem = setup->problem();
    services.setup = std::move(setup);
    // KWin names the active window on the root when it is an X11 one, and nothing otherwise.
    std::function<bool()> x11Focused = [] { return false; };
    if (x11.connection) {
        xcb_connection_t* connection = x11.connection->xcb();
        const xcb_window_t root = x11.connection->roots().value(0);
        const xcb_atom_t active = Xcb::internAtoms(connection, {"_NET_ACTIVE_WINDOW"}).value(0);
        x11Focused = [connection, root, active] {
            return Xcb::property32(connection, root, active).value(0) != 0;
        };
    }
    services.typing = std::make_unique<KdeTypingBackend>(std::move(kwin), std::move(x11.typing), x11Focused);
    return services;
}

} // namespace KdePlatform
