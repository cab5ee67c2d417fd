#include "hotkeys/GlobalHotkeyManager.h"
#include "hotkeys/HotkeySettings.h"
#include "platform/RecordingHotkeyService.h"
#include "platform/SettingsStore.h"

#include "StdoutCapture.h"

#include <QTemporaryDir>
#include <QTest>

using Grab = RecordingHotkeyService::Grab;

namespace {
constexpr quint32 optionShift = 2560;

struct Rig {
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("runeboard.conf"))};
    RecordingHotkeyService service;
    GlobalHotkeyManager manager{service, store};
    QStringList activated;

    Rig() {
        manager.onHotkeyActivated = [this](const QString& identifier) { activated.append(identifier); };
    }
    void store4(const HotkeyConfig& k, const HotkeyConfig& one, const HotkeyConfig& two,
                const HotkeyConfig& three) {
        HotkeySettings settings(store);
        settings.setToggleKeyboard(k);
        settings.setSwitchPalette1(one);
        settings.setSwitchPalette2(two);
        settings.setSwitchPalette3(three);
    }
};
} // namespace

class TestGlobalHotkeyManager : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void defaultsAreRegisteredUnderFixedIds();
    void emptyCombinationsLeaveGaps_data();
    void emptyCombinationsLeaveGaps();
    void refusedCombinationIsReportedAndTheOthersWork();
    void pressesReachTheCallbackOnceEvenAfterReregistering();
    void pressesAfterUnregisterAllOrWithoutCallbackAreIgnored();
    void destructionReleasesEverything();
};

void TestGlobalHotkeyManager::defaultsAreRegisteredUnderFixedIds() {
    Rig rig;
    rig.manager.registerFromSettings();
    const QList<Grab> expected{
        {40, optionShift, 1, 1}, {18, optionShift, 2, 2}, {19, optionShift, 3, 3}, {20, optionShift, 4, 4}};
    QCOMPARE(rig.service.active, expected);
    QCOMPARE(rig.manager.hotKeyRefs(), (QList<HotkeyService::Handle>{1, 2, 3, 4}));
    const QHash<quint32, QString> ids{{1, QStringLiteral("K")},
                                      {2, QStringLiteral("1")},
                                      {3, QStringLiteral("2")},
                                      {4, QStringLiteral("3")}};
    QCOMPARE(rig.manager.idToIdentifier(), ids);
}

void TestGlobalHotkeyManager::emptyCombinationsLeaveGaps_data() {
    QTest::addColumn<bool>("onlySecondAdditional");
    QTest::newRow("all four empty") << false;
    QTest::newRow("only set 2") << true;
}

void TestGlobalHotkeyManager::emptyCombinationsLeaveGaps() {
    QFETCH(bool, onlySecondAdditional);
    Rig rig;
    rig.store4({}, {}, onlySecondAdditional ? HotkeyConfig{19, 4096} : HotkeyConfig{}, {});
    rig.manager.registerFromSettings();
    if (onlySecondAdditional) {
        QCOMPARE(rig.service.active, (QList<Grab>{{19, 4096, 3, 1}}));
        QCOMPARE(rig.manager.idToIdentifier(), (QHash<quint32, QString>{{3, QStringLiteral("2")}}));
    } else {
        QVERIFY(rig.service.active.isEmpty());
        QVERIFY(rig.manager.idToIdentifier().isEmpty());
    }
    // The handler is there all the same.
    rig.service.press(19, 4096);
    QCOMPARE(rig.activated, onlySecondAdditional ? QStringList{QStringLiteral("2")} : QStringList());
}

void TestGlobalHotkeyManager::refusedCombinationIsReportedAndTheOthersWork() {
    Rig rig;
    rig.service.refuseKeyCode.insert(18, 10);
    StdoutCapture output;
    rig.manager.registerFromSettings();
    QCOMPARE(output.lines(),
             QStringList{QStringLiteral("[GlobalHotkeyManager] Failed to register hotkey '1': status 10")});
    QVERIFY(!rig.manager.idToIdentifier().contains(2));
    QCOMPARE(rig.manager.hotKeyRefs().size(), 3);
    rig.service.refuseKeyCode.insert(18, -9878);
    rig.manager.unregisterAll();
    rig.manager.registerFromSettings();
    QCOMPARE(output.lines().last(),
             QStringLiteral("[GlobalHotkeyManager] Failed to register hotkey '1': status -9878"));
    for (quint32 key : {40, 18, 19, 20})
        rig.service.press(key, optionShift);
    QCOMPARE(rig.activated, (QStringList{QStringLiteral("K"), QStringLiteral("2"), QStringLiteral("3")}));
}

void TestGlobalHotkeyManager::pressesReachTheCallbackOnceEvenAfterReregistering() {
    Rig rig;
    rig.manager.registerFromSettings();
    rig.manager.unregisterAll();
    rig.manager.registerFromSettings();
    rig.service.press(40, optionShift);
    QCOMPARE(rig.activated, QStringList{QStringLiteral("K")});
    // Registering twice without unregistering keeps the first handles until the next unregisterAll.
    rig.manager.registerFromSettings();
    QCOMPARE(rig.manager.hotKeyRefs().size(), 8);
    rig.manager.unregisterAll();
    QVERIFY(rig.service.active.isEmpty());
}

void TestGlobalHotkeyManager::pressesAfterUnregisterAllOrWithoutCallbackAreIgnored() {
    Rig rig;
    rig.manager.registerFromSettings();
    rig.manager.unregisterAll();
    Q_EMIT rig.service.hotkeyPressed(1); // still queued from before
    rig.manager.registerFromSettings();
    rig.manager.onHotkeyActivated = nullptr;
    Q_EMIT rig.service.hotkeyPressed(1);
    QVERIFY(rig.activated.isEmpty());
}

void TestGlobalHotkeyManager::destructionReleasesEverything() {
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("runeboard.conf")));
    RecordingHotkeyService service;
    int calls = 0;
    {
        GlobalHotkeyManager manager(service, store);
        manager.onHotkeyActivated = [&calls](const QString&) { ++calls; };
        manager.registerFromSettings();
    }
    QVERIFY(service.active.isEmpty());
    Q_EMIT service.hotkeyPressed(1);
    QCOMPARE(calls, 0);
}

QTEST_GUILESS_MAIN(TestGlobalHotkeyManager)
#include "tst_globalhotkeymanager.moc"
