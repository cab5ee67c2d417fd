// Opening the settings window on the Sets tab with 10,000 stored sets, until
// it has been painted, and closing it again, as quitting with the window open
// does; offscreen, with the managers the application builds.
#include "FakeModifierMonitor.h"
#include "RecordingHotkeyService.h"
#include "hotkeys/GlobalHotkeyManager.h"
#include "hotkeys/HotkeySettings.h"
#include "keyboard/KeyboardState.h"
#include "localization/LocalizationManager.h"
#include "sets/SetStore.h"
#include "settings/SettingsView.h"
#include "storage/SettingsStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int setCount = 10000;
constexpr int runs = 3;
constexpr double openTargetMs = 300;
constexpr double quitTargetMs = 300;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Nothing of the user's is read or written.
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
    QApplication app(argc, argv);
    SettingsStore store(dir.filePath(QStringLiteral("runeboard.conf")));
    LocalizationManager localization(store, QStringLiteral("en"));
    SetStore setStore(store, QStringLiteral("en"));
    QList<SymbolSet> sets = setStore.sets();
    while (sets.size() < setCount) {
        SymbolSet set;
        set.id = QUuid::createUuid();
        set.name = QStringLiteral("Set %1").arg(sets.size());
        set.baseCharacters = QStringLiteral("ąćęłńóśźżəɛɔʃʒθðŋ");
        sets.append(set);
    }
    setStore.replaceSets(sets);
    FakeModifierMonitor shift;
    KeyboardState keyboard(store, setStore, localization, shift);
    HotkeySettings hotkeys(store);
    RecordingHotkeyService hotkeyService;
    GlobalHotkeyManager hotkeyManager(hotkeyService, hotkeys);

    std::vector<double> opening;
    std::vector<double> closing;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        auto view = std::make_unique<SettingsView>(localization, setStore, keyboard, hotkeys, hotkeyManager);
        view->setSelectedTab(1);
        view->show();
        QCoreApplication::processEvents();
        QImage frame(view->size(), QImage::Format_ARGB32_Premultiplied);
        view->render(&frame);
        opening.push_back(double(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        view.reset();
        QCoreApplication::processEvents(); // rows given to deleteLater go here
        closing.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const double open = median(opening);
    const double quit = median(closing);
    std::printf("bench_sets: settings window on the Sets tab with %d stored sets, %d runs (medians)\n",
                int(setStore.sets().size()), runs);
    std::printf("  open and paint: %.1f ms (reference: under %.0f ms) %s\n", open, openTargetMs,
                open < openTargetMs ? "ok" : "OVER");
    std::printf("  close (as on quit): %.1f ms (reference: under %.0f ms) %s\n", quit, quitTargetMs,
                quit < quitTargetMs ? "ok" : "OVER");
    return open < openTargetMs && quit < quitTargetMs ? 0 : 1;
}
