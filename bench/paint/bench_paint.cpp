// Time to paint the full-size keyboard of the largest preset, offscreen.
#include "FakeModifierMonitor.h"
#include "RecordingTypingBackend.h"
#include "keyboard/KeyboardState.h"
#include "keyboard/view/KeyboardView.h"
#include "localization/LocalizationManager.h"
#include "sets/SetStore.h"
#include "storage/SettingsStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr double targetMs = 2.0;
constexpr int paints = 400;

struct Figures {
    double first;
    double median;
    double p95;
};

Figures measure(KeyboardView& view, qreal dpr) {
    QImage image((QSizeF(view.sizeHint()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    std::vector<double> times;
    times.reserve(paints);
    double first = 0;
    for (int i = 0; i <= paints; ++i) {
        image.fill(Qt::transparent);
        QElapsedTimer timer;
        timer.start();
        view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (i == 0)
            first = ms; // faces and shadows are made here
        else
            times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    return {first, times[times.size() / 2], times[times.size() * 95 / 100]};
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
    SetStore sets(store, QStringLiteral("en"));
    LocalizationManager localization(store, QStringLiteral("en"));
    FakeModifierMonitor shift;
    KeyboardState state(store, sets, localization, shift);
    state.start();
    RecordingTypingBackend backend;

    SymbolSet largest;
    for (const SymbolSet& p : sets.sets())
        if (p.baseSymbols().size() + p.customSymbols().size() >
            largest.baseSymbols().size() + largest.customSymbols().size())
            largest = p;
    state.setActiveSetId(largest.idText());
    state.setKeyboardSize(KeyboardSize::Full);
    // Two more quick-access sets, so the dots are painted as well.
    for (const SymbolSet& p : sets.sets().mid(1, 2))
        sets.toggleAdditional(p.id);
    KeyboardView view(state, sets, localization, backend);
    view.resize(view.sizeHint());

    std::printf("bench_paint: full-size keyboard of the largest preset (%s, %lld keys), %dx%d, %d paints\n",
                qPrintable(largest.name), static_cast<long long>(largest.baseSymbols().size()),
                view.sizeHint().width(), view.sizeHint().height(), paints);
    bool ok = true;
    for (qreal dpr : {1.0, 2.0}) {
        const Figures f = measure(view, dpr);
        std::printf("  device pixel ratio %.0f: median %.3f ms, 95th percentile %.3f ms, first paint %.3f ms "
                    "(reference: median under %.1f ms) %s\n",
                    dpr, f.median, f.p95, f.first, targetMs, f.median < targetMs ? "ok" : "OVER");
        ok = ok && f.median < targetMs;
    }
    return ok ? 0 : 1;
}
