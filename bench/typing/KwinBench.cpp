#include "KwinBench.h"

#include "KwinSession.h"

#include <QElapsedTimer>
#include <QSet>
#include <QThread>

#include <cstdio>
#include <functional>

void compareOnKwin(const QString& text, const QString& runeboard) {
    const QList<uint> scalars = text.toUcs4();
    std::printf(
        "\nOn a headless KWin 5.27, %lld symbols (%lld distinct) into a Qt 6 line edit on Wayland; one run "
        "each\n",
        qlonglong(scalars.size()), qlonglong(QSet<uint>(scalars.cbegin(), scalars.cend()).size()));
    KwinSession kwin;
    QString error;
    if (!kwin.start(&error)) {
        std::printf("  not measured: %s\n", qPrintable(error));
        return;
    }
    std::printf("  %-40s %-12s %10s   %-15s\n", "method", "right", "command", "all arrived");
    const auto measure = [&](const char* name, const std::function<void()>& send) {
        static int serial = 0;
        const QString out = kwin.scratchPath(QStringLiteral("kwin-%1.txt").arg(++serial));
        if (!kwin.startLineEdit(out)) {
            std::printf("  %-40s the line edit did not come up\n", name);
            return;
        }
        QElapsedTimer clock;
        clock.start();
        send();
        const double commandMs = double(clock.nsecsElapsed()) / 1e6;
        double arrivedMs = -1;
        QString received;
        QElapsedTimer quiet;
        quiet.start();
        XSession::waitFor(
            [&] {
                const QString now = XSession::readFile(out);
                if (now != received) {
                    received = now;
                    quiet.restart();
                }
                if (received == text && arrivedMs < 0)
                    arrivedMs = double(clock.nsecsElapsed()) / 1e6;
                return received == text || quiet.elapsed() > 1000;
            },
            60000);
        const QString arrived = arrivedMs < 0 ? QStringLiteral("never complete")
                                              : QStringLiteral("%1 ms").arg(arrivedMs, 0, 'f', 0);
        std::printf("  %-40s %4d of %-4lld %7.0f ms   %-15s\n", name,
                    symbolsRight(scalars, received.toUcs4()), qlonglong(scalars.size()), commandMs,
                    qPrintable(arrived));
        kwin.endPrograms();
    };
    measure("runeboard --type (fake input + clipboard)", [&] {
        kwin.run(runeboard, {QStringLiteral("--type"), text}, 120000);
    });
    // Each copy is a new clipboard owner (wl-copy), each Ctrl+V a key press of KWin's fake input.
    const auto pickerPastes = [&](int pauseMs) {
        for (const uint scalar : scalars) {
            const char32_t symbol = scalar;
            kwin.run(QStringLiteral("wl-copy"), {QStringLiteral("--"), QString::fromUcs4(&symbol, 1)});
            kwin.keys({29, 47}, {47, 29});
            if (pauseMs)
                QThread::msleep(pauseMs);
        }
    };
    measure("copy + Ctrl+V per symbol", [&] { pickerPastes(0); });
    measure("copy + Ctrl+V per symbol, 100 ms apart", [&] { pickerPastes(100); });
}
