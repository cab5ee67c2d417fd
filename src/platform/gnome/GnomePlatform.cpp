#include "platform/gnome/GnomePlatform.h"

#include "platform/gnome/GnomeExtensionSetup.h"
#include "platform/gnome/GnomeHotkeyService.h"
#include "platform/gnome/GnomeShellLink.h"
#include "platform/gnome/GnomeShiftMonitor.h"
#include "platform/gnome/GnomeTypingBackend.h"
#include "platform/x11/X11Platform.h"

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
    X11Platform::XwaylandServices x11 = X11Platform::forXwayland();
    services.windowSystem = std::move(x11.windowSystem);
    services.typing = std::make_unique<GnomeTypingBackend>(link, std::move(x11.typing));
    services.hotkeys = std::make_unique<GnomeHotkeyService>(link, std::move(x11.hotkeys));
    services.shiftMonitor = std::make_unique<GnomeShiftMonitor>(link, std::move(x11.shiftMonitor));
    auto setup = std::make_unique<GnomeExtensionSetup>(link, claimProblem);
    services.typingProblem = setup->problem();
    services.setup = std::move(setup);
    return services;
}

} // namespace GnomePlatform
