#include "platform/kde/KdePlatform.h"

#include "platform/kde/KdeHotkeyService.h"
#include "platform/kde/KdeTypingBackend.h"
#include "platform/kde/KwinConnection.h"
#include "platform/kde/KwinFakeInputSetup.h"
#include "platform/null/NullWindowSystem.h"
#include "platform/null/UnavailableModifierMonitor.h"
#include "platform/null/UnavailableTypingBackend.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11ModifierMonitor.h"
#include "platform/x11/X11TypingBackend.h"
#include "platform/x11/X11WindowSystem.h"
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
    const std::optional<X11Connection> x11 =
        QGuiApplication::platformName() == QLatin1String("xcb") ? X11Connection::fromQt() : std::nullopt;
    std::unique_ptr<TypingBackend> x11Typing;
    std::unique_ptr<HotkeyService> x11Hotkeys;
    if (x11) {
        auto windows = X11WindowSystem::create(*x11);
        windows->setFloatsUnmanaged(true);
        services.windowSystem = std::move(windows);
        if (x11->hasXtest() && x11->hasXkb())
            x11Typing = std::make_unique<X11TypingBackend>(*x11);
        x11Hotkeys = std::make_unique<X11HotkeyService>(*x11);
        auto shift = std::make_unique<X11ModifierMonitor>(*x11);
        shift->setFollowsEveryWindow(false);
        services.shiftMonitor = std::move(shift);
    } else {
        services.windowSystem = std::make_unique<NullWindowSystem>();
        services.shiftMonitor = std::make_unique<UnavailableModifierMonitor>();
    }
    services.hotkeys =
        std::make_unique<KdeHotkeyService>(QDBusConnection::sessionBus(), std::move(x11Hotkeys));
    if (!x11Typing)
        x11Typing = std::make_unique<UnavailableTypingBackend>(
            UserText{QStringLiteral("typing_qt_not_on_x11"), {QGuiApplication::platformName()}});

    auto setup = std::make_unique<KwinFakeInputSetup>(kwin->hasFakeInput(), kwin->dataControl() != nullptr);
    services.typingProblem = setup->problem();
    services.setup = std::move(setup);
    // KWin names the active window on the root when it is an X11 one, and nothing otherwise.
    std::function<bool()> x11Focused = [] { return false; };
    if (x11) {
        xcb_connection_t* connection = x11->xcb();
        const xcb_window_t root = x11->roots().value(0);
        const xcb_atom_t active = Xcb::internAtoms(connection, {"_NET_ACTIVE_WINDOW"}).value(0);
        x11Focused = [connection, root, active] {
            return Xcb::property32(connection, root, active).value(0) != 0;
        };
    }
    services.typing = std::make_unique<KdeTypingBackend>(std::move(kwin), std::move(x11Typing), x11Focused);
    return services;
}

} // namespace KdePlatform
