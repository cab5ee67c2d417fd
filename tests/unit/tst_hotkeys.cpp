#include "ConfigDir.h"
#include "StdoutCapture.h"
#include "hotkeys/CompositorBindings.h"
#include "hotkeys/HotkeySettings.h"
#include "hotkeys/KeyTable.h"
#include "settings/HotkeyRecorderView.h"
#include "storage/SettingsStore.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <linux/input-event-codes.h>

namespace {
const QByteArray defaultText = "{\"toggleKeyboard\":{\"keyCode\":40,\"modifiers\":2560},"
                               "\"switchPalette1\":{\"keyCode\":18,\"modifiers\":2560},"
                               "\"switchPalette2\":{\"keyCode\":19,\"modifiers\":2560},"
                               "\"switchPalette3\":{\"keyCode\":20,\"modifiers\":2560}}";

// A readable document whose values all differ from the defaults, two of them
// beyond what a Linux combination holds: a mask bit without a modifier, a key
// code no Linux keyboard has.
const QByteArray customText = "{\"toggleKeyboard\":{\"keyCode\":0,\"modifiers\":0},"
                              "\"switchPalette1\":{\"keyCode\":122,\"modifiers\":69632},"
                              "\"switchPalette2\":{\"keyCode\":0,\"modifiers\":256},"
                              "\"switchPalette3\":{\"keyCode\":4294967295,\"modifiers\":2560}}";

QByteArray replaced(QByteArray text, const QByteArray& from, const QByteArray& to) {
    Q_ASSERT(text.contains(from));
    return text.replace(from, to);
}

using Action = KeyboardAction;
const HotkeyModifiers altShift = HotkeyModifier::Alt | HotkeyModifier::Shift;
const HotkeyModifiers control = HotkeyModifier::Control;

// X keycodes (evdev + 8) of the keys the recorder cases press.
constexpr quint32 xEscape = 9, xTab = 23, xA = 38, xK = 45, xShiftL = 50, xF5 = 71;

// A recorder in a window that takes whatever key presses it leaves unhandled.
struct RecorderWindow : QWidget {
    QList<int> keys;
    HotkeyRecorderView* recorder = new HotkeyRecorderView(this);

    RecorderWindow() {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(recorder);
        recorder->setPlaceholder(QStringLiteral("Press keys..."));
        recorder->setHotkey({KEY_K, altShift});
        show();
        QApplication::setActiveWindow(this);
    }
    void keyPressEvent(QKeyEvent* event) override { keys.append(event->key()); }
};
} // namespace

class TestHotkeys : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyFormOfACombination_data() {
        QTest::addColumn<quint32>("keyCode"); // as stored
        QTest::addColumn<quint32>("mask");
        QTest::addColumn<Hotkey>("hotkey");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("menuHint"); // Qt's own words; empty: no hint
        QTest::addColumn<QString>("sway");     // the compositor binding of the toggle; empty: none
        QTest::addColumn<bool>("writtenAsRead");
        const auto row = [](const char* name, quint32 keyCode, quint32 mask, Hotkey hotkey, const char* shown,
                            const char* hint, const char* sway, bool writtenAsRead = true) {
            QTest::newRow(name) << keyCode << mask << hotkey << QString::fromUtf8(shown)
                                << QString::fromUtf8(hint) << QString::fromUtf8(sway) << writtenAsRead;
        };
        row("empty", 0, 0, Hotkey{}, "—", "", "");
        row("default toggle", 40, 2560, {KEY_K, altShift}, "Alt+Shift+K", "Alt+Shift+K",
            "bindsym Mod1+Shift+k exec runeboard --toggle");
        // Qt writes its own hint words and order: Super is its Meta, first.
        row("all four in fixed order", 40, 6912, {KEY_K, altShift | control | HotkeyModifier::Super},
            "Ctrl+Alt+Shift+Super+K", "Meta+Ctrl+Alt+Shift+K",
            "bindsym Mod4+Control+Mod1+Shift+k exec runeboard --toggle");
        row("key code 0 is A", 0, 256, {KEY_A, HotkeyModifier::Super}, "Super+A", "Meta+A",
            "bindsym Mod4+a exec runeboard --toggle");
        row("unnamed ISO key beside left Shift", 10, 256, {KEY_102ND, HotkeyModifier::Super}, "Super+Key86",
            "", "bindcode Mod4+94 exec runeboard --toggle");
        // What the Linux form cannot hold is dropped here and kept by the settings.
        row("mask bit without a modifier", 40, 0x10000 | 2048, {KEY_K, HotkeyModifier::Alt}, "Alt+K", "Alt+K",
            "bindsym Mod1+k exec runeboard --toggle", false);
        row("key code no Linux keyboard has", 4294967295u, 2560, {Hotkey::unknownKey, altShift},
            "Alt+Shift+?", "", "", false);
    }

    void everyFormOfACombination() {
        QFETCH(quint32, keyCode);
        QFETCH(quint32, mask);
        QFETCH(Hotkey, hotkey);
        QFETCH(QString, shown);
        QFETCH(QString, menuHint);
        QFETCH(QString, sway);
        QFETCH(bool, writtenAsRead);
        const KeyTable::StoredHotkey stored{keyCode, mask};
        QCOMPARE(KeyTable::fromStored(stored), hotkey);
        QCOMPARE(KeyTable::displayText(hotkey), shown);
        const std::optional<QKeyCombination> combination = KeyTable::keyCombination(hotkey);
        QCOMPARE(combination ? QKeySequence(*combination).toString() : QString(), menuHint);
        QCOMPARE(CompositorBindings::swayLine(hotkey, QStringLiteral("--toggle")), sway);
        const std::optional<KeyTable::StoredHotkey> written = KeyTable::toStored(hotkey);
        QCOMPARE(written == stored, writtenAsRead);
        QCOMPARE(written.has_value(), hotkey.key != Hotkey::unknownKey);
    }

    void everyKeyWithAStoredFormGoesBothWays() {
        int keys = 0;
        for (PhysicalKey key = 1; key < 1024; ++key) {
            if (!KeyTable::isRecordable(key))
                continue;
            ++keys;
            const Hotkey hotkey{key, HotkeyModifier::Super};
            const std::optional<KeyTable::StoredHotkey> stored = KeyTable::toStored(hotkey);
            QVERIFY2(stored && KeyTable::fromStored(*stored) == hotkey, qPrintable(QString::number(key)));
        }
        // Letters, digits, punctuation, editing, keypad, F1–F20, volume and the Japanese keys.
        QCOMPARE(keys, 110);
    }

    void loading_data() {
        QTest::addColumn<QByteArray>("stored"); // empty: nothing stored
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("nothing stored") << QByteArray() << defaultText;
        QTest::newRow("custom values kept as stored") << customText << customText;
        QTest::newRow("other member order, extra members, whitespace")
            << QByteArray(
                   " {\"switchPalette3\":{\"modifiers\":2560,\"keyCode\":4294967295,\"label\":\"x\"},\n"
                   "\"version\":2,\"switchPalette2\":{\"keyCode\":0,\"modifiers\":256},"
                   "\"switchPalette1\":{\"keyCode\":122,\"modifiers\":69632},"
                   "\"toggleKeyboard\" : {\"keyCode\":0,\"modifiers\":0}}")
            << customText;

        // Any unreadable part gives all four defaults, also those that were readable.
        const auto broken = [](const char* name, const QByteArray& stored) {
            QTest::newRow(name) << stored << defaultText;
        };
        broken("member missing",
               replaced(customText, ",\"switchPalette3\":{\"keyCode\":4294967295,\"modifiers\":2560}", ""));
        broken("negative", replaced(customText, "\"modifiers\":69632", "\"modifiers\":-1"));
        broken("string instead of number", replaced(customText, "\"keyCode\":122", "\"keyCode\":\"122\""));
        broken("not JSON", "toggleKeyboard=K");
        // A plain letter would be taken away from every application.
        broken("no modifier at all", replaced(customText, "\"modifiers\":69632", "\"modifiers\":0"));
        broken("a mask bit that is no modifier",
               replaced(customText, "\"modifiers\":69632", "\"modifiers\":65536"));
    }

    void loading() {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, expected);
        ConfigDir config;
        if (!stored.isEmpty())
            SettingsStore(config.path()).setValue(SettingKey::HotkeySettings, stored);
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

    void assignment_data() {
        QTest::addColumn<Action>("action");
        QTest::addColumn<Hotkey>("hotkey");
        QTest::addColumn<QByteArray>("expected"); // the stored document afterwards; customText: unchanged

        QTest::newRow("new key, the rest kept as read")
            << Action::QuickSet2 << Hotkey{KEY_F5, control}
            << replaced(customText, "\"keyCode\":0,\"modifiers\":256", "\"keyCode\":96,\"modifiers\":4096");
        QTest::newRow("cleared") << Action::QuickSet2 << Hotkey{}
                                 << replaced(customText, "\"keyCode\":0,\"modifiers\":256",
                                             "\"keyCode\":0,\"modifiers\":0");
        // The combination as read is written as read, whatever it held beyond.
        QTest::newRow("same as read: unknown key kept")
            << Action::QuickSet3 << Hotkey{Hotkey::unknownKey, altShift} << customText;
        QTest::newRow("same as read: extra mask bit kept")
            << Action::QuickSet1 << Hotkey{KEY_F1, control} << customText;
        // What storage cannot keep would be lost, or read back as the defaults for all four.
        QTest::newRow("key without a stored form refused")
            << Action::QuickSet1 << Hotkey{KEY_PAUSE, control} << customText;
        QTest::newRow("Shift alone refused")
            << Action::ToggleKeyboard << Hotkey{KEY_A, HotkeyModifier::Shift} << customText;
    }

    void assignment() {
        QFETCH(Action, action);
        QFETCH(Hotkey, hotkey);
        QFETCH(QByteArray, expected);
        ConfigDir config;
        SettingsStore(config.path()).setValue(SettingKey::HotkeySettings, customText);
        SettingsStore store(config.path());
        HotkeySettings settings(store);
        // Listeners re-register from the settings: by then the file holds the change.
        std::optional<QByteArray> storedWhenTold;
        connect(&settings, &HotkeySettings::changed, this,
                [&] { storedWhenTold = SettingsStore(config.path()).data(SettingKey::HotkeySettings); });

        const Hotkey before = settings.hotkey(action);
        const bool accepted = hotkey == before || expected != customText;
        QCOMPARE(settings.setHotkey(action, hotkey), accepted);
        QCOMPARE(*SettingsStore(config.path()).data(SettingKey::HotkeySettings), expected);
        QCOMPARE(settings.hotkey(action), accepted ? hotkey : before);
        QCOMPARE(storedWhenTold, expected != customText ? std::optional(expected) : std::nullopt);
    }

    void keyWhileRecording_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<quint32>("xKeycode");
        QTest::addColumn<bool>("reported");
        QTest::addColumn<Hotkey>("recorded");
        QTest::addColumn<QString>("shown");

        using M = Qt::KeyboardModifier;
        const auto row = [](const char* name, int key, Qt::KeyboardModifiers modifiers, quint32 xKeycode,
                            bool reported, Hotkey recorded, const char* shown) {
            QTest::newRow(name) << key << modifiers << xKeycode << reported << recorded
                                << QString::fromUtf8(shown);
        };
        row("Shift+A is not enough", Qt::Key_A, M::ShiftModifier, xA, false, {}, "Press keys...");
        row("a modifier alone is swallowed", Qt::Key_Shift, M::ControlModifier | M::ShiftModifier, xShiftL,
            false, {}, "Press keys...");
        row("Control+Shift+F5", Qt::Key_F5, M::ControlModifier | M::ShiftModifier, xF5, true,
            {KEY_F5, control | HotkeyModifier::Shift}, "Ctrl+Shift+F5");
        row("Alt+Escape clears", Qt::Key_Escape, M::AltModifier, xEscape, true, {}, "—");
        // The Russian layout puts Л on the K key; the combination is the same keys.
        row("Alt+Shift+K under a Russian layout", 0x41b, M::AltModifier | M::ShiftModifier, xK, true,
            {KEY_K, altShift}, "Alt+Shift+K");
        row("Super+Tab is recorded, not a focus move", Qt::Key_Tab, M::MetaModifier, xTab, true,
            {KEY_TAB, HotkeyModifier::Super}, "Super+Tab");
    }

    void keyWhileRecording() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(quint32, xKeycode);
        QFETCH(bool, reported);
        QFETCH(Hotkey, recorded);
        QFETCH(QString, shown);
        RecorderWindow window;
        QVERIFY(QTest::qWaitForWindowActive(&window));
        HotkeyRecorderView* recorder = window.recorder;
        QSignalSpy told(recorder, &HotkeyRecorderView::recorded);
        QTest::mouseClick(recorder, Qt::LeftButton);
        QVERIFY(recorder->isRecording() && recorder->hasFocus());

        QKeyEvent event(QEvent::KeyPress, key, modifiers, xKeycode, 0, 0);
        QApplication::sendEvent(recorder, &event);
        QCOMPARE(recorder->isRecording(), !reported);
        QCOMPARE(recorder->shownText(), shown);
        // Never told inside the key event itself.
        QVERIFY(told.isEmpty());
        QCoreApplication::processEvents();
        QVERIFY(window.keys.isEmpty());
        const Hotkey expected = reported ? recorded : Hotkey{KEY_K, altShift};
        QCOMPARE(recorder->hotkey(), expected);
        QCOMPARE(told.isEmpty(), !reported);
        if (reported)
            QCOMPARE(told.first().first().value<Hotkey>(), expected);
    }
};

QTEST_MAIN(TestHotkeys)
#include "tst_hotkeys.moc"
