#include "platform/kde/KdePlatform.h"

#include "platform/Log.h"
#include "platform/TerminationSignals.h"
#include "platform/kde/InputMethodLink.h"
#include "platform/kde/InputMethodService.h"
#include "platform/kde/KdeHotkeyService.h"
#include "platform/kde/KdeTypingBackend.h"
#include "platform/kde/KwinConnection.h"
#include "platform/kde/KwinFakeInputSetup.h"
#include "platform/kde/KwinInputMethod.h"
#include "platform/kde/KwinInputMethodEntry.h"
#include "platform/null/UnavailableModifierMonitor.h"
#include "platform/x11/X11Platform.h"
#include "platform/x11/Xcb.h"

#include <QCoreApplication>

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

    // System Settings lists Runeboard as a virtual keyboard through this entry.
    if (QString why; !KwinInputMethodEntry::ensureFor(QCoreApplication::applicationFilePath(), &why))
        Log::line(QStringLiteral("[KdePlatform] Plasma cannot offer Runeboard as its virtual keyboard: ") +
                  why);
    auto inputMethod = std::make_unique<InputMethodLink>(InputMethodService::socketPath());
    auto setup = std::make_unique<KwinFakeInputSetup>(kwin->hasFakeInput(), kwin->dataControl() != nullptr,
                                                      inputMethod.get());
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
    services.typing = std::make_unique<KdeTypingBackend>(std::move(kwin), std::move(x11.typing), x11Focused,
                                                         std::move(inputMethod));
    return services;
}

int runInputMethod() {
    QString problem;
    const QString path = InputMethodService::socketPath(&problem);
    std::unique_ptr<KwinInputMethod> method = path.isEmpty() ? nullptr : KwinInputMethod::open(&problem);
    InputMethodService service([&method](const QString& text) { return method->commit(text); });
    if (!method || !service.listen(path, &problem)) {
        Log::line(QStringLiteral("runeboard: cannot serve as Plasma's virtual keyboard: ") + problem, stderr);
        return 1;
    }
    // KWin ends this process (SIGTERM) when the user chooses another; a closed connection means the
    // same. Either way the socket goes, so that no Runeboard knocks at it in vain.
    QObject::connect(method.get(), &KwinInputMethod::broken, qApp, &QCoreApplication::quit);
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, qApp, &QCoreApplication::quit);
    const int status = QCoreApplication::exec();
    service.close();
    return status;
}

} // namespace KdePlatform
