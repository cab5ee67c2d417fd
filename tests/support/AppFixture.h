#pragma once

#include "FakeModifierMonitor.h"
#include "RecordingHotkeyService.h"
#include "RecordingTypingBackend.h"
#include "app/AppState.h"
#include "platform/null/NullWindowSystem.h"
#include "sets/SymbolSet.h"

#include <QCoreApplication>
#include <QTemporaryDir>

// The application as main() builds it, on recording stand-ins for the
// platform, with a configuration file of its own.
struct AppFixture {
    QTemporaryDir dir;
    RecordingTypingBackend* typing = nullptr;
    RecordingHotkeyService* hotkeys = nullptr;
    std::unique_ptr<AppState> app;

    // Sets described by letters: M main, A additional, P plain.
    static QList<SymbolSet> setsOf(const QString& roles) {
        QList<SymbolSet> sets;
        for (QChar role : roles)
            sets.append({QUuid::createUuid(), "s", "äö", {}, role == u'M', role == u'A', false});
        return sets;
    }

    QString configPath() const { return dir.filePath(QStringLiteral("runeboard.conf")); }

    // Builds it; its launch step waits for the event loop to turn.
    AppState& start() {
        PlatformServices services;
        services.typing = std::make_unique<RecordingTypingBackend>();
        services.hotkeys = std::make_unique<RecordingHotkeyService>();
        services.shiftMonitor = std::make_unique<FakeModifierMonitor>();
        services.windowSystem = std::make_unique<NullWindowSystem>();
        typing = static_cast<RecordingTypingBackend*>(services.typing.get());
        hotkeys = static_cast<RecordingHotkeyService*>(services.hotkeys.get());
        app = std::make_unique<AppState>(std::move(services), configPath(), QStringLiteral("en"));
        return *app;
    }
    // Built, and past its launch step.
    AppState& launched() {
        start();
        QCoreApplication::processEvents();
        return *app;
    }
};
