#pragma once

#include "XSession.h"

#include "hotkeys/HotkeySettings.h"
#include "storage/SettingsStore.h"

#include <QTest>

#include <functional>

// The hotkey checks a Wayland desktop's end-to-end test shares with the others
// (GNOME, KDE Plasma): the session presses evdev keys on the desktop's own
// virtual keyboard. Each check fails through QVERIFY, so it ends its test.
namespace DesktopHotkeyChecks {

inline const QString panelTitle = QStringLiteral("Runeboard Keyboard");
constexpr uint keyLeftShift = 42, keyLeftAlt = 56, keyK = 37, keyJ = 36, key1 = 2, key2 = 3;

// Starts a receiver (an xterm when `xterm`, else a Wayland entry) writing to `out`.
using StartReceiver = std::function<bool(bool xterm, const QString& out)>;
using StartRuneboard = std::function<bool(const QString& preset)>;

// Alt+Shift+K hides and shows the panel over a Wayland window; recorded anew as
// Alt+Shift+J, the new one fires and the old one goes back to the programs.
template <typename Session>
void toggleFollowsRecording(Session& session, const StartReceiver& start,
                            const StartRuneboard& startRuneboard) {
    QVERIFY(start(false, session.scratchPath(QStringLiteral("hotkey.txt"))));
    QVERIFY(startRuneboard(QString()));
    const QList<uint> combination{keyLeftAlt, keyLeftShift, keyK};
    const QList<uint> released{keyK, keyLeftShift, keyLeftAlt};
    QVERIFY(session.keys(combination, released));
    QVERIFY(XSession::waitFor([&] { return session.findWindowByName(panelTitle).isEmpty(); }));
    QVERIFY(session.keys(combination, released));
    QVERIFY(XSession::waitFor([&] { return !session.findWindowByName(panelTitle).isEmpty(); }));

    // Recorded anew (here by another Runeboard sharing the file): Alt+Shift+J from now on.
    {
        SettingsStore store(session.configHome() + QStringLiteral("/runeboard/runeboard.conf"));
        HotkeySettings(store).setHotkey(KeyboardAction::ToggleKeyboard,
                                        {keyJ, HotkeyModifier::Alt | HotkeyModifier::Shift});
    }
    session.handOver(session.configHome());
    const QList<uint> newCombination{keyLeftAlt, keyLeftShift, keyJ};
    const QList<uint> newReleased{keyJ, keyLeftShift, keyLeftAlt};
    // Pressed until Runeboard has taken the change in: each press before that does nothing.
    QVERIFY(XSession::waitFor(
        [&] {
            return session.keys(newCombination, newReleased) &&
                   XSession::waitFor([&] { return session.findWindowByName(panelTitle).isEmpty(); }, 2000);
        },
        20000));
    // The old combination is given back to the programs: xterm reads Alt+Shift+K as Ë.
    const QString out = session.scratchPath(QStringLiteral("released.txt"));
    QVERIFY(start(true, out));
    QVERIFY(session.keys(combination, released));
    QCOMPARE(XSession::waitForFileText(out, QStringLiteral("Ë")), QStringLiteral("Ë"));
}

// Alt+Shift+2 switches to the second quick-access set and Alt+Shift+1 back.
template <typename Session>
void digitsSwitchSets(Session& session, const StartReceiver& start, const StartRuneboard& startRuneboard) {
    QVERIFY(start(false, session.scratchPath(QStringLiteral("sets.txt"))));
    QVERIFY(startRuneboard(QStringLiteral("preset_polish")));
    const auto active = [&] {
        return SettingsStore(session.configHome() + QStringLiteral("/runeboard/runeboard.conf"))
            .text(SettingKey::ActiveSetId);
    };
    const QString main = active();
    QVERIFY(session.keys({keyLeftAlt, keyLeftShift, key2}, {key2, keyLeftShift, keyLeftAlt}));
    QVERIFY(XSession::waitFor([&] { return active() != main && !active().isEmpty(); }));
    QVERIFY(session.keys({keyLeftAlt, keyLeftShift, key1}, {key1, keyLeftShift, keyLeftAlt}));
    QVERIFY(XSession::waitFor([&] { return active() == main; }));
}

} // namespace DesktopHotkeyChecks
