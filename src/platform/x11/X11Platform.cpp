#include "platform/x11/X11Platform.h"

#include "platform/null/NullWindowSystem.h"
#include "platform/null/UnavailableTypingBackend.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11ModifierMonitor.h"
#include "platform/x11/X11TypingBackend.h"
#include "platform/x11/X11WindowSystem.h"

#include <QGuiApplication>

namespace X11Platform {

void preferXcb() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    else if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "wayland;offscreen");
    else
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

UserText sessionProblem(const QString& qtPlatform, const QByteArray& display,
                        const QByteArray& waylandDisplay, const QByteArray& sessionType) {
    const bool wayland = !waylandDisplay.isEmpty() || sessionType == "wayland";
    if (qtPlatform != QLatin1String("xcb")) {
        if (display.isEmpty())
            return {wayland ? QStringLiteral("typing_wayland_no_x_display")
                            : QStringLiteral("typing_no_x_display")};
        return {QStringLiteral("typing_qt_not_on_x11"), {qtPlatform}};
    }
    if (wayland)
        return {QStringLiteral("typing_x11_programs_only")};
    return {};
}

std::optional<PlatformServices> create(UserText* whyNot) {
    const QString platform = QGuiApplication::platformName();
    UserText problem =
        sessionProblem(platform, qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"));
    const std::optional<X11Connection> connection =
        platform == QLatin1String("xcb") ? X11Connection::fromQt() : std::nullopt;
    if (!connection) {
        *whyNot = problem.isEmpty() ? UserText{QStringLiteral("typing_no_x_connection")} : problem;
        return std::nullopt;
    }

    PlatformServices services;
    services.typingProblem = problem;
    services.windowSystem = X11WindowSystem::create(*connection);

    // Hotkeys and Shift need neither XTEST nor a spare keycode, so they work even where typing cannot.
    services.hotkeys = std::make_unique<X11HotkeyService>(*connection);
    services.shiftMonitor = std::make_unique<X11ModifierMonitor>(*connection);
    UserText missing;
    if (!connection->hasXtest())
        missing = {QStringLiteral("typing_no_xtest")};
    else if (!connection->hasXkb())
        missing = {QStringLiteral("typing_no_xkb")};
    if (!missing.isEmpty()) {
        services.typing = std::make_unique<UnavailableTypingBackend>(missing);
    } else {
        services.typing = std::make_unique<X11TypingBackend>(*connection);
        missing = services.typing->unavailableReason();
    }
    if (!missing.isEmpty())
        services.typingProblem = missing;
    return services;
}

XwaylandServices forXwayland() {
    XwaylandServices parts;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        parts.connection = X11Connection::fromQt();
    if (const std::optional<X11Connection>& x11 = parts.connection) {
        auto windows = X11WindowSystem::create(*x11);
        windows->setFloatsUnmanaged(true);
        parts.windowSystem = std::move(windows);
        if (x11->hasXtest() && x11->hasXkb())
            parts.typing = std::make_unique<X11TypingBackend>(*x11);
        parts.hotkeys = std::make_unique<X11HotkeyService>(*x11);
        auto shift = std::make_unique<X11ModifierMonitor>(*x11);
        shift->setFollowsEveryWindow(false);
        parts.shiftMonitor = std::move(shift);
    } else {
        parts.windowSystem = std::make_unique<NullWindowSystem>();
    }
    if (!parts.typing)
        parts.typing = std::make_unique<UnavailableTypingBackend>(
            UserText{QStringLiteral("typing_qt_not_on_x11"), {QGuiApplication::platformName()}});
    return parts;
}

} // namespace X11Platform
