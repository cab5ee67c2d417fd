#include "platform/x11/X11Platform.h"

#include "platform/null/NullPlatform.h"
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

QString sessionProblem(const QString& qtPlatform, const QByteArray& display, const QByteArray& waylandDisplay,
                       const QByteArray& sessionType) {
    const bool wayland = !waylandDisplay.isEmpty() || sessionType == "wayland";
    if (qtPlatform != QLatin1String("xcb")) {
        if (display.isEmpty())
            return wayland
                       ? QStringLiteral("This Wayland session has no X display (DISPLAY is not set), and "
                                        "Runeboard types and grabs hotkeys through X11 only.")
                       : QStringLiteral("No X display was found (DISPLAY is not set): typing needs an X11 "
                                        "session.");
        return QStringLiteral(
                   "Qt runs on its \"%1\" platform instead of X11 (xcb), so nothing can be typed; unset "
                   "QT_QPA_PLATFORM or set it to xcb.")
            .arg(qtPlatform);
    }
    if (wayland)
        return QStringLiteral("typing reaches X11 programs only on this desktop");
    return {};
}

PlatformServices create() {
    const QString platform = QGuiApplication::platformName();
    QString problem =
        sessionProblem(platform, qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"));
    const std::optional<X11Connection> connection =
        platform == QLatin1String("xcb") ? X11Connection::fromQt() : std::nullopt;
    if (!connection)
        return NullPlatform::create(
            problem.isEmpty() ? QStringLiteral("Qt gives no access to its X11 connection.") : problem);

    PlatformServices services;
    services.typingProblem = problem;
    services.windowSystem = X11WindowSystem::create(*connection);

    // Hotkeys and Shift need neither XTEST nor a spare keycode, so they work even where typing cannot.
    services.hotkeys = std::make_unique<X11HotkeyService>(*connection);
    services.shiftMonitor = std::make_unique<X11ModifierMonitor>(*connection);
    QString missing;
    if (!connection->hasXtest())
        missing = QStringLiteral("The X server does not offer the XTEST extension, which typing needs.");
    else if (!connection->hasXkb())
        missing = QStringLiteral("The X server does not offer the XKEYBOARD extension, which typing needs.");
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

} // namespace X11Platform
