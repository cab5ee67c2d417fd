#include "KwinBench.h"

#include "KwinSession.h"

#include "platform/kde/KwinInputMethodEntry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <cstdio>
#include <functional>

namespace {
void measureOnKwin(KwinSession& kwin, const QString& text, const QString& runeboard, bool inputMethod) {
    const QList<uint> scalars = text.toUcs4();
    const auto measure = [&](const char* name, const std::function<void()>& send) {
        static int serial = 0;
        const QString out = kwin.scratchPath(QStringLiteral("kwin-%1.txt").arg(++serial));
        if (!kwin.startLineEdit(out)) {
            std::printf("  %-42s the line edit did not come up\n", name);
            return;
        }
        // A new line edit enables its text input a moment after it takes the focus.
        if (inputMethod && !XSession::waitFor([&] { return kwin.textInputFocused(); })) {
            std::printf("  %-42s the line edit's field never became the input method's\n", name);
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
        std::printf("  %-42s %4d of %-4lld %7.0f ms   %-15s\n", name,
                    symbolsRight(scalars, received.toUcs4()), qlonglong(scalars.size()), commandMs,
                    qPrintable(arrived));
        kwin.endPrograms();
    };
    if (inputMethod) {
        measure("runeboard --type (input method)", [&] {
            kwin.run(runeboard, {QStringLiteral("--type"), text}, 120000);
        });
        return;
    }
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
} // namespace

void compareOnKwin(const QString& text, const QString& runeboard) {
    const QList<uint> scalars = text.toUcs4();
    std::printf(
        "\nOn a headless KWin 5.27, %lld symbols (%lld distinct) into a Qt 6 line edit on Wayland; one run "
        "each\n",
        qlonglong(scalars.size()), qlonglong(QSet<uint>(scalars.cbegin(), scalars.cend()).size()));
    std::printf("  %-42s %-12s %10s   %-15s\n", "method", "right", "command", "all arrived");
    // One KWin as Plasma starts by default, then one with Runeboard chosen as its virtual keyboard.
    for (const bool inputMethod : {false, true}) {
        KwinSession kwin;
        if (inputMethod) {
            const QString entry =
                kwin.applicationsFolder() + QStringLiteral("/runeboard-input-method.desktop");
            QDir().mkpath(kwin.applicationsFolder());
            QFile file(entry);
            if (file.open(QIODevice::WriteOnly))
                file.write(KwinInputMethodEntry::entry(QFileInfo(runeboard).canonicalFilePath()));
            file.close();
            kwin.chooseInputMethod(entry);
        }
        QString error;
        if (!kwin.start(&error)) {
            std::printf("  not measured: %s\n", qPrintable(error));
            return;
        }
        measureOnKwin(kwin, text, runeboard, inputMethod);
    }
}
