#include "platform/gnome/GnomePlatform.h"

#include "platform/gnome/GnomeExtensionSetup.h"
#include "platform/gnome/GnomeHotkeyService.h"
#include "platform/gnome/GnomeShellLink.h"
#include "platform/gnome/GnomeShiftMonitor.h"
#include "platform/gnome/GnomeTypingBackend.h"
#include "platform/null/NullWindowSystem.h"
#include "platform/null/UnavailableTypingBackend.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11ModifierMonitor.h"
#include "platform/x11/X11TypingBackend.h"
#include "platform/x11/X11WindowSystem.h"

#include <QGuiApplication>

namespace GnomePlatform {

bool isGnomeWayland(const QByteArray& currentDesktop, const QByteArray& sessionType,
                    const QByteArray& waylandDisplay) {
    // "GNOME", or a derivative naming it ("ubuntu:GNOME"); GNOME Classic says "GNOME-Classic:GNOME".
    const bool gnome = currentDesktop.toLower().split(':').contains("gnome");
    return gnome && (sessionType == "wayland" || (sessionType.isEmpty() && !waylandDisplay.isEmpty()));
}

std::optional<PlatformServices> create() {
    if (!isGnomeWayland(qgetenv("XDG_CURRENT_DESKTOP"), qgetenv("XDG_SESSION_TYPE"),
                        qgetenv("WAYLAND_DISPLAY")))
        return std::nullopt;

    auto link = std::make_shared<GnomeShellLink>(QDBusConnection::sessionBus());
    QString claimProblem;
    link->claim(&claimProblem);

    PlatformServices services;
    const std::optional<X11Connection> x11 =
        QGuiApplication::platformName() == QLatin1String("xcb") ? X11Connection::fromQt() : std::nullopt;
    std::unique_ptr<TypingBackend> x11Typing;
    std::unique_ptr<HotkeyService> x11Hotkeys;
    std::unique_ptr<ModifierMonitor> x11Shift;
    if (x11) {
        auto windows = X11WindowSystem::create(*x11);
        windows->setFloatsUnmanaged(true);
        services.windowSystem = std::move(windows);
        if (x11->hasXtest() && x11->hasXkb())
            x11Typing = std::make_unique<X11TypingBackend>(*x11);
        x11Hotkeys = std::make_unique<X11HotkeyService>(*x11);
        auto shift = std::make_unique<X11ModifierMonitor>(*x11);
        shift->setFollowsEveryWindow(false);
        x11Shift = std::move(shift);
    } else {
        services.windowSystem = std::make_unique<NullWindowSystem>();
    }
    if (!x11Typing)
        x11Typing = std::make_unique<UnavailableTypingBackend>(
            UserText{QStringLiteral("typing_qt_not_on_x11"), {QGuiApplication::platformName()}});

    services.typing = std::make_unique<GnomeTypingBackend>(link, std::move(x11Typing));
    services.hotkeys = std::make_unique<GnomeHotkeyService>(link, std::move(x11Hotkeys));
    services.shiftMonitor = std::make_unique<GnomeShiftMonitor>(link, std::move(x11Shift));
    auto setup = std::make_unique<GnomeExtensionSetup>(link, claimProblem);
    services.typingProblem = setup->problem();
    services.setup = std::move(setup);
    return services;
}

} // namespace GnomePlatform
