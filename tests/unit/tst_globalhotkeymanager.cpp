#include "hotkeys/GlobalHotkeyManager.h"
#include "hotkeys/HotkeySettings.h"
#include "storage/SettingsStore.h"

#include "RecordingHotkeyService.h"
#include "StdoutCapture.h"

#include <QTemporaryDir>
#include <QTest>

using Grab = RecordingHotkeyService::Grab;

namespace {
// Evdev codes of K, 1, 2, 3: the stored macOS codes 40, 18, 19, 20 reach the platform as these.
constexpr PhysicalKey keyK = 37, key1 = 2, key2 = 3, key3 = 4;
const HotkeyModifiers altShift = HotkeyModifier::Alt | HotkeyModifier::Shift;

struct Rig {
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("runeboard.conf"))};
    HotkeySettings settings{store};
    RecordingHotkeyService service;
    GlobalHotkeyManager manager{service, settings};
    QStringList activated;

    Rig() {
        manager.onHotkeyActivated = [this](const QString& identifier) { activated.append(identifier); };
    }
};
} // namespace

class TestGlobalHotkeyManager : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void defaultsAreRegisteredUnderFixedIds();
    void followsTheSettingsAndLeavesGapsForEmptyOnes();
    void refusedCombinationIsReportedAndTheOthersWork();
    void suspendReleasesEverythingUntilResumed();
    void destructionReleasesEverything();
};

void TestGlobalHotkeyManager::defaultsAreRegisteredUnderFixedIds() {
    Rig rig;
    rig.manager.registerFromSettings();
    const QList<Grab> expected{
        {keyK, altShift, 1, 1}, {key1, altShift, 2, 2}, {key2, altShift, 3, 3}, {key3, altShift, 4, 4}};
    QCOMPARE(rig.service.active, expected);
    const QHash<quint32, QString> ids{{1, QStringLiteral("K")},
                                      {2, QStringLiteral("1")},
                                      {3, QStringLiteral("2")},
                                      {4, QStringLiteral("3")}};
    QCOMPARE(rig.manager.idToIdentifier(), ids);
    for (PhysicalKey key : {keyK, key1, key2, key3})
        QVERIFY(rig.service.press(key, altShift));
    QCOMPARE(rig.activated, (QStringList{"K", "1", "2", "3"}));
}

void TestGlobalHotkeyManager::followsTheSettingsAndLeavesGapsForEmptyOnes() {
    Rig rig;
    rig.manager.registerFromSettings();
    // The live settings are followed: no one re-registers by hand.
    rig.settings.setSwitchPalette1({});
    rig.settings.setToggleKeyboard({HotkeyConfig{40, 4096}});
    QCOMPARE(rig.service.active,
             (QList<Grab>{
                 {keyK, HotkeyModifier::Control, 1, 8}, {key2, altShift, 3, 9}, {key3, altShift, 4, 10}}));
    QVERIFY(!rig.manager.idToIdentifier().contains(2));
    QCOMPARE(rig.manager.hotKeyRefs().size(), 3);
}

void TestGlobalHotkeyManager::refusedCombinationIsReportedAndTheOthersWork() {
    Rig rig;
    rig.service.refuseKey.insert(key1, 10);
    StdoutCapture output;
    rig.manager.registerFromSettings();
    // A stored key with no place on a Linux keyboard is the platform's to refuse, with its own status.
    rig.settings.setSwitchPalette3({HotkeyConfig{0xFFFF, 4096}});
    QCOMPARE(output.lines().first(),
             QStringLiteral("[GlobalHotkeyManager] Failed to register hotkey '1': status 10"));
    QCOMPARE(rig.manager.hotKeyRefs().size(), 3);
    QCOMPARE(rig.service.active.last().key, PhysicalKey(-1));
    for (PhysicalKey key : {keyK, key1, key2})
        rig.service.press(key, altShift);
    QCOMPARE(rig.activated, (QStringList{"K", "2"}));
}

void TestGlobalHotkeyManager::suspendReleasesEverythingUntilResumed() {
    Rig rig;
    rig.manager.registerFromSettings();
    rig.manager.suspend();
    QVERIFY(rig.service.active.isEmpty());
    // A combination recorded meanwhile is registered once recording stops, not before.
    rig.settings.setSwitchPalette2({HotkeyConfig{19, 4096}});
    QVERIFY(rig.service.active.isEmpty());
    rig.manager.resume();
    QCOMPARE(rig.service.active.size(), 4);
    QVERIFY(rig.service.press(key2, HotkeyModifier::Control));
    QCOMPARE(rig.activated, QStringList{"2"});
}

void TestGlobalHotkeyManager::destructionReleasesEverything() {
    Rig rig;
    int calls = 0;
    {
        GlobalHotkeyManager manager(rig.service, rig.settings);
        manager.onHotkeyActivated = [&calls](const QString&) { ++calls; };
        manager.registerFromSettings();
        rig.manager.unregisterAll();
    }
    QVERIFY(rig.service.active.isEmpty());
    Q_EMIT rig.service.hotkeyPressed(1);
    QCOMPARE(calls, 0);
}

QTEST_GUILESS_MAIN(TestGlobalHotkeyManager)
#include "tst_globalhotkeymanager.moc"
