#include "ConfigDir.h"
#include "RecordingHotkeyService.h"
#include "StdoutCapture.h"
#include "hotkeys/GlobalHotkeyManager.h"
#include "hotkeys/HotkeySettings.h"
#include "hotkeys/KeyTable.h"
#include "settings/HotkeyRecorderView.h"
#include "storage/SettingsStore.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using Grab = RecordingHotkeyService::Grab;

namespace {
const QByteArray defaultText = "{\"toggleKeyboard\":{\"keyCode\":40,\"modifiers\":2560},"
                               "\"switchPalette1\":{\"keyCode\":18,\"modifiers\":2560},"
                               "\"switchPalette2\":{\"keyCode\":19,\"modifiers\":2560},"
                               "\"switchPalette3\":{\"keyCode\":20,\"modifiers\":2560}}";

// A readable document whose values all differ from the defaults.
const QByteArray customText = "{\"toggleKeyboard\":{\"keyCode\":0,\"modifiers\":0},"
                              "\"switchPalette1\":{\"keyCode\":122,\"modifiers\":4096},"
                              "\"switchPalette2\":{\"keyCode\":0,\"modifiers\":256},"
                              "\"switchPalette3\":{\"keyCode\":4294967295,\"modifiers\":2560}}";

QByteArray replaced(QByteArray text, const QByteArray& from, const QByteArray& to) {
    Q_ASSERT(text.contains(from));
    return text.replace(from, to);
}

// Evdev codes of K, 1, 2, 3: the stored macOS codes 40, 18, 19, 20 reach the platform as these.
constexpr PhysicalKey keyK = 37, key1 = 2, key2 = 3, key3 = 4;
const HotkeyModifiers altShift = HotkeyModifier::Alt | HotkeyModifier::Shift;

struct Rig {
    ConfigDir config;
    SettingsStore store{config.path()};
    HotkeySettings settings{store};
    RecordingHotkeyService service;
    GlobalHotkeyManager manager{service, settings};
    QStringList activated;

    Rig() {
        manager.onHotkeyActivated = [this](const QString& identifier) { activated.append(identifier); };
    }
};

// X keycodes (evdev + 8) of the keys the recorder cases press.
constexpr quint32 xEscape = 9, xBackspace = 22, xTab = 23, xA = 38, xK = 45, xShiftL = 50, xF5 = 71;

// A recorder beside another field, in a window that takes whatever key presses they leave unhandled.
struct RecorderWindow : QWidget {
    QList<int> keys;
    HotkeyRecorderView* recorder = new HotkeyRecorderView(this);
    QLineEdit* other = new QLineEdit(this);

    RecorderWindow() {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(recorder);
        layout->addWidget(other);
        recorder->setPlaceholder(QStringLiteral("Press keys..."));
        recorder->setConfig(HotkeyConfig{40, 2560});
        show();
        QApplication::setActiveWindow(this);
    }
    void keyPressEvent(QKeyEvent* event) override { keys.append(event->key()); }
};

void sendKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers, quint32 xKeycode) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, xKeycode, 0, 0);
    QApplication::sendEvent(target, &event);
}
} // namespace

class TestHotkeys : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void samePhysicalKey_data();
    void samePhysicalKey();
    void everyNamedKeyHasAPlaceOfItsOwn();
    void displayText_data();
    void displayText();

    void loading_data();
    void loading();
    void assignmentsSaveBeforeTheyArePublished();
    void anotherProcessesHotkeysAreTakenOver();

    void registeredUnderFixedIdsFromTheLiveSettings();
    void refusedCombinationIsReportedAndTheOthersWork();
    void suspendReleasesEverythingUntilResumed();

    void keyWhileRecording_data();
    void keyWhileRecording();
    void keyWhileNotRecording_data();
    void keyWhileNotRecording();
};

void TestHotkeys::samePhysicalKey_data() {
    QTest::addColumn<uint>("mac");
    QTest::addColumn<uint>("xKeycode"); // 0: no macOS key sits there
    // X keycodes of the evdev keymap, as `xmodmap -pke` shows them.
    QTest::newRow("A") << 0u << 38u;
    QTest::newRow("K") << 40u << 45u;
    QTest::newRow("ISO key beside left Shift") << 10u << 94u;
    QTest::newRow("keypad Enter") << 76u << 104u;
    QTest::newRow("left Shift has no code") << 0u << 50u;
}

void TestHotkeys::samePhysicalKey() {
    QFETCH(uint, mac);
    QFETCH(uint, xKeycode);
    if (mac == 0 && xKeycode != 38) {
        QCOMPARE(KeyTable::fromXKeycode(xKeycode), std::nullopt);
        return;
    }
    QCOMPARE(KeyTable::toEvdev(mac), std::optional<quint32>(xKeycode - 8));
    QCOMPARE(KeyTable::fromXKeycode(xKeycode), std::optional<quint32>(mac));
}

void TestHotkeys::everyNamedKeyHasAPlaceOfItsOwn() {
    const QHash<quint32, QString>& names = KeyTable::keyNameTable();
    QSet<quint32> places;
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        const std::optional<quint32> evdev = KeyTable::toEvdev(it.key());
        QVERIFY2(evdev && !places.contains(*evdev), qPrintable(it.value()));
        places.insert(*evdev);
        QCOMPARE(KeyTable::fromEvdev(*evdev), std::optional<quint32>(it.key()));
    }
}

void TestHotkeys::displayText_data() {
    QTest::addColumn<quint32>("keyCode");
    QTest::addColumn<quint32>("modifiers");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("menuHint"); // Qt's own words; empty: no hint
    const auto row = [](const char* name, quint32 keyCode, quint32 modifiers, const char* shown,
                        const char* hint) {
        QTest::newRow(name) << keyCode << modifiers << QString::fromUtf8(shown) << QString::fromUtf8(hint);
    };
    row("empty combination", 0u, 0u, "—", "");
    row("default toggle", 40u, 2560u, "Alt+Shift+K", "Alt+Shift+K");
    // Qt writes its own hint words and order: Super is its Meta, first.
    row("all four in fixed order", 40u, 6912u, "Ctrl+Alt+Shift+Super+K", "Meta+Ctrl+Alt+Shift+K");
    row("key code 0 is A", 0u, 256u, "Super+A", "Meta+A");
    row("unknown mask bits hidden", 40u, (0x10000u | 2048u), "Alt+K", "Alt+K");
    row("page down", 121u, 2048u, "Alt+PgDn", "Alt+PgDown");
    row("unnamed key", 10u, 256u, "Super+Key10", "");
}

void TestHotkeys::displayText() {
    QFETCH(quint32, keyCode);
    QFETCH(quint32, modifiers);
    QFETCH(QString, expected);
    QFETCH(QString, menuHint);
    const HotkeyConfig config{keyCode, modifiers};
    QCOMPARE(KeyTable::displayText(config), expected);
    const std::optional<QKeyCombination> combination = KeyTable::keyCombination(config);
    QCOMPARE(combination ? QKeySequence(*combination).toString() : QString(), menuHint);
}

void TestHotkeys::loading_data() {
    QTest::addColumn<QByteArray>("stored"); // empty: nothing stored
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("nothing stored") << QByteArray() << defaultText;
    QTest::newRow("custom values kept as stored") << customText << customText;
    QTest::newRow("other member order, extra members, whitespace")
        << QByteArray(" {\"switchPalette3\":{\"modifiers\":2560,\"keyCode\":4294967295,\"label\":\"x\"},\n"
                      "\"version\":2,\"switchPalette2\":{\"keyCode\":0,\"modifiers\":256},"
                      "\"switchPalette1\":{\"keyCode\":122,\"modifiers\":4096},"
                      "\"toggleKeyboard\" : {\"keyCode\":0,\"modifiers\":0}}")
        << customText;

    // Any unreadable part gives all four defaults, also those that were readable.
    const auto broken = [](const char* name, const QByteArray& stored) {
        QTest::newRow(name) << stored << defaultText;
    };
    broken("member missing",
           replaced(customText, ",\"switchPalette3\":{\"keyCode\":4294967295,\"modifiers\":2560}", ""));
    broken("negative", replaced(customText, "\"modifiers\":4096", "\"modifiers\":-1"));
    broken("above 32 bits", replaced(customText, "\"modifiers\":4096", "\"modifiers\":4294967296"));
    broken("fraction", replaced(customText, "\"keyCode\":122", "\"keyCode\":40.5"));
    broken("string instead of number", replaced(customText, "\"keyCode\":122", "\"keyCode\":\"122\""));
    broken("not JSON", "toggleKeyboard=K");
    // A plain letter would be taken away from every application.
    broken("no modifier at all", replaced(customText, "\"modifiers\":4096", "\"modifiers\":0"));
    broken("Shift alone", replaced(customText, "\"modifiers\":4096", "\"modifiers\":512"));
}

void TestHotkeys::loading() {
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, expected);
    ConfigDir config;
    if (!stored.isEmpty())
        SettingsStore(config.path()).setData(HotkeySettings::storageKey, stored);
    const QByteArray fileBefore = config.bytes();

    StdoutCapture output;
    SettingsStore store(config.path());
    HotkeySettings settings(store);
    QCoreApplication::processEvents();
    QCOMPARE(settings.encoded(), expected);
    QCOMPARE(config.bytes(), fileBefore); // loading never writes
    // What cannot be used is said at start, naming the key, and kept whole before the first write.
    const bool unreadable = !stored.isEmpty() && expected == defaultText;
    QCOMPARE(output.lines().filter(QStringLiteral("\"hotkeySettings_v1\":")).size(), unreadable ? 1 : 0);
    store.setValue(SettingKey::KeyboardSize, QStringLiteral("Full"));
    QCOMPARE(config.copies().size(), unreadable ? 1 : 0);
    if (unreadable)
        QCOMPARE(config.onlyCopy(), fileBefore);
}

void TestHotkeys::assignmentsSaveBeforeTheyArePublished() {
    ConfigDir config;
    SettingsStore store(config.path());
    store.setData(HotkeySettings::storageKey, customText);
    HotkeySettings settings(store);
    // At each notification the store already holds what was just assigned.
    QList<QByteArray> storedAtEach;
    for (auto signal : {&HotkeySettings::toggleKeyboardChanged, &HotkeySettings::switchPalette1Changed,
                        &HotkeySettings::switchPalette2Changed, &HotkeySettings::switchPalette3Changed})
        connect(&settings, signal, this, [&] { storedAtEach << *store.data(HotkeySettings::storageKey); });

    settings.resetToDefaults(); // in order: toggle, set 1, set 2, set 3
    QCOMPARE(storedAtEach.size(), 4);
    QCOMPARE(storedAtEach.first(),
             replaced(customText, "\"keyCode\":0,\"modifiers\":0", "\"keyCode\":40,\"modifiers\":2560"));
    QCOMPARE(storedAtEach.last(), defaultText);
}

void TestHotkeys::anotherProcessesHotkeysAreTakenOver() {
    Rig rig;
    rig.manager.registerFromSettings();
    QSignalSpy toggle(&rig.settings, &HotkeySettings::toggleKeyboardChanged);
    QSignalSpy any(&rig.settings, &HotkeySettings::changed);
    SettingsStore theirs(rig.config.path());

    HotkeySettings(theirs).setSwitchPalette1(HotkeyConfig{122, 4096});
    QTRY_COMPARE(rig.settings.switchPalette1(), (HotkeyConfig{122, 4096}));
    QCOMPARE(any.count(), 1); // once, so the hotkeys are registered again once
    QCOMPARE(toggle.count(), 0);
    QVERIFY(rig.service.press(*KeyTable::toEvdev(122), HotkeyModifier::Control));
}

void TestHotkeys::registeredUnderFixedIdsFromTheLiveSettings() {
    Rig rig;
    rig.manager.registerFromSettings();
    const QList<Grab> expected{
        {keyK, altShift, 1, 1}, {key1, altShift, 2, 2}, {key2, altShift, 3, 3}, {key3, altShift, 4, 4}};
    QCOMPARE(rig.service.active, expected);
    for (PhysicalKey key : {keyK, key1, key2, key3})
        QVERIFY(rig.service.press(key, altShift));
    QCOMPARE(rig.activated, (QStringList{"K", "1", "2", "3"}));

    // The live settings are followed, leaving a gap for an empty one: no one re-registers by hand.
    rig.settings.setSwitchPalette1({});
    rig.settings.setToggleKeyboard({HotkeyConfig{40, 4096}});
    QCOMPARE(rig.service.active,
             (QList<Grab>{
                 {keyK, HotkeyModifier::Control, 1, 8}, {key2, altShift, 3, 9}, {key3, altShift, 4, 10}}));
    QVERIFY(!rig.manager.idToIdentifier().contains(2));
}

void TestHotkeys::refusedCombinationIsReportedAndTheOthersWork() {
    Rig rig;
    rig.service.refuseKey.insert(key1, 10);
    StdoutCapture output;
    rig.manager.registerFromSettings();
    // A stored key with no place on a Linux keyboard is the platform's to refuse, with its own status.
    rig.settings.setSwitchPalette3({HotkeyConfig{0xFFFF, 4096}});
    QCOMPARE(output.lines().first(),
             QStringLiteral("[GlobalHotkeyManager] Failed to register hotkey '1': status 10"));
    QCOMPARE(rig.service.active.last().key, PhysicalKey(-1));
    for (PhysicalKey key : {keyK, key1, key2})
        rig.service.press(key, altShift);
    QCOMPARE(rig.activated, (QStringList{"K", "2"}));
}

void TestHotkeys::suspendReleasesEverythingUntilResumed() {
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

void TestHotkeys::keyWhileRecording_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<quint32>("xKeycode");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<quint32>("keyCode");
    QTest::addColumn<quint32>("mask");
    QTest::addColumn<QString>("shown");

    using M = Qt::KeyboardModifier;
    const auto row = [](const char* name, int key, Qt::KeyboardModifiers modifiers, quint32 xKeycode,
                        bool reported, quint32 keyCode, quint32 mask, const char* shown) {
        QTest::newRow(name) << key << modifiers << xKeycode << reported << keyCode << mask
                            << QString::fromUtf8(shown);
    };
    row("Shift+A is not enough", Qt::Key_A, M::ShiftModifier, xA, false, 0, 0, "Press keys...");
    row("a modifier alone is swallowed", Qt::Key_Shift, M::ControlModifier | M::ShiftModifier, xShiftL, false,
        0, 0, "Press keys...");
    row("Control+Shift+F5", Qt::Key_F5, M::ControlModifier | M::ShiftModifier, xF5, true, 96, 4608,
        "Ctrl+Shift+F5");
    row("Alt+Escape clears", Qt::Key_Escape, M::AltModifier, xEscape, true, 0, 0, "—");
    row("Backspace clears", Qt::Key_Backspace, {}, xBackspace, true, 0, 0, "—");
    // The Russian layout puts Л on the K key; the combination is the same keys.
    row("Alt+Shift+K under a Russian layout", 0x41b, M::AltModifier | M::ShiftModifier, xK, true, 40, 2560,
        "Alt+Shift+K");
    row("Super+Tab is recorded, not a focus move", Qt::Key_Tab, M::MetaModifier, xTab, true, 48, 256,
        "Super+Tab");
}

void TestHotkeys::keyWhileRecording() {
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(quint32, xKeycode);
    QFETCH(bool, reported);
    QFETCH(quint32, keyCode);
    QFETCH(quint32, mask);
    QFETCH(QString, shown);
    RecorderWindow window;
    QVERIFY(QTest::qWaitForWindowActive(&window));
    HotkeyRecorderView* recorder = window.recorder;
    QSignalSpy recorded(recorder, &HotkeyRecorderView::recorded);
    QTest::mouseClick(recorder, Qt::LeftButton);
    QVERIFY(recorder->isRecording() && recorder->hasFocus());

    sendKey(recorder, key, modifiers, xKeycode);
    QCOMPARE(recorder->isRecording(), !reported);
    QCOMPARE(recorder->shownText(), shown);
    // Never told inside the key event itself.
    QCOMPARE(recorded.size(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(recorded.size(), reported ? 1 : 0);
    QVERIFY(window.keys.isEmpty());
    const HotkeyConfig expected = reported ? HotkeyConfig{keyCode, mask} : HotkeyConfig{40, 2560};
    QCOMPARE(recorder->config(), expected);
    if (reported)
        QCOMPARE(recorded.first().first().value<HotkeyConfig>(), expected);
}

void TestHotkeys::keyWhileNotRecording_data() {
    QTest::addColumn<int>("clicks");
    QTest::addColumn<bool>("focusMovesAway");
    QTest::newRow("never clicked") << 0 << false;
    QTest::newRow("cancelled by a second click") << 2 << false;
    QTest::newRow("cancelled by the focus moving away") << 1 << true;
}

// The combination goes on to the window, not into the binding.
void TestHotkeys::keyWhileNotRecording() {
    QFETCH(int, clicks);
    QFETCH(bool, focusMovesAway);
    RecorderWindow window;
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QSignalSpy recorded(window.recorder, &HotkeyRecorderView::recorded);
    window.recorder->setFocus();
    for (int click = 0; click < clicks; ++click)
        QTest::mouseClick(window.recorder, Qt::LeftButton);
    if (focusMovesAway)
        window.other->setFocus(Qt::TabFocusReason);
    QVERIFY(!window.recorder->isRecording());
    sendKey(QApplication::focusWidget(), Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier, xF5);
    QCOMPARE(window.keys, QList<int>{Qt::Key_F5});
    QCoreApplication::processEvents();
    QCOMPARE(recorded.size(), 0);
    QCOMPARE(window.recorder->shownText(), QStringLiteral("Alt+Shift+K"));
}

QTEST_MAIN(TestHotkeys)
#include "tst_hotkeys.moc"
