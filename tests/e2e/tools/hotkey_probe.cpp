// Runs Runeboard's global hotkeys and Shift monitor on the platform services
// the application itself uses, and reports on standard output: "hotkey K"
// for each activation, "shift 1" / "shift 0" for every change of Shift.
// Everything else on standard output comes from the code under test.
#include "hotkeys/GlobalHotkeyManager.h"
#include "hotkeys/HotkeySettings.h"
#include "platform/x11/X11Platform.h"
#include "storage/SettingsStore.h"

#include <QGuiApplication>

#include <cstdio>

namespace {
void say(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char* argv[]) {
    X11Platform::preferXcb();
    QGuiApplication app(argc, argv);
    UserText whyNot;
    std::optional<PlatformServices> x11 = X11Platform::create(&whyNot);
    if (!x11) {
        say(QStringLiteral("no X11: ") + whyNot.key);
        return 1;
    }
    PlatformServices& services = *x11;
    SettingsStore store;
    HotkeySettings settings(store);
    GlobalHotkeyManager hotkeys(*services.hotkeys, settings);
    QObject::connect(&hotkeys, &GlobalHotkeyManager::actionTriggered, [](KeyboardAction action) {
        say(QStringLiteral("hotkey ") + QLatin1String(KeyboardActions::row(action).printedName));
    });
    hotkeys.registerFromSettings();
    QObject::connect(services.shiftMonitor.get(), &ModifierMonitor::shiftChanged,
                     [](bool pressed) { say(QStringLiteral("shift %1").arg(pressed ? 1 : 0)); });
    services.shiftMonitor->start();
    say(QStringLiteral("ready"));
    return app.exec();
}
