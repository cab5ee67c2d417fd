#include "ConfigDir.h"
#include "StdoutCapture.h"
#include "hotkeys/HotkeySettings.h"
#include "storage/SettingsStore.h"

#include <QSignalSpy>
#include <QTest>

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
} // namespace

class TestHotkeySettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void loading_data();
    void loading();
    void assignmentsSaveBeforeTheyArePublished();
    void anotherProcessesHotkeysAreTakenOver();
};

void TestHotkeySettings::loading_data() {
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
    broken("keyCode missing", replaced(customText, "\"keyCode\":122,", ""));
    broken("negative", replaced(customText, "\"modifiers\":4096", "\"modifiers\":-1"));
    broken("above 32 bits", replaced(customText, "\"modifiers\":4096", "\"modifiers\":4294967296"));
    broken("fraction", replaced(customText, "\"keyCode\":122", "\"keyCode\":40.5"));
    broken("string instead of number", replaced(customText, "\"keyCode\":122", "\"keyCode\":\"122\""));
    broken("member not an object", replaced(customText, "{\"keyCode\":0,\"modifiers\":0}", "[0,0]"));
    broken("not JSON", "toggleKeyboard=K");
    broken("array at the top", "[" + customText + "]");
    // A plain letter would be taken away from every application.
    broken("no modifier at all", replaced(customText, "\"modifiers\":4096", "\"modifiers\":0"));
    broken("Shift alone", replaced(customText, "\"modifiers\":4096", "\"modifiers\":512"));
}

void TestHotkeySettings::loading() {
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
    // What cannot be used is said at start, naming the key.
    const bool unreadable = !stored.isEmpty() && expected == defaultText;
    QCOMPARE(output.lines().filter(QStringLiteral("\"hotkeySettings_v1\":")).size(), unreadable ? 1 : 0);
}

void TestHotkeySettings::assignmentsSaveBeforeTheyArePublished() {
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

    settings.setSwitchPalette2(HotkeyConfig{});
    QCOMPARE(storedAtEach.size(), 5); // only its own role
    SettingsStore reopened(config.path());
    QCOMPARE(HotkeySettings(reopened).switchPalette2(), HotkeyConfig{}); // a cleared hotkey stays cleared
}

void TestHotkeySettings::anotherProcessesHotkeysAreTakenOver() {
    ConfigDir config;
    SettingsStore mine(config.path());
    SettingsStore theirs(config.path());
    HotkeySettings settings(mine);
    QSignalSpy toggle(&settings, &HotkeySettings::toggleKeyboardChanged);
    QSignalSpy any(&settings, &HotkeySettings::changed);

    HotkeySettings(theirs).setSwitchPalette1(HotkeyConfig{122, 4096});
    QTRY_COMPARE(settings.switchPalette1(), (HotkeyConfig{122, 4096}));
    QCOMPARE(any.count(), 1); // once, so the hotkeys are registered again once
    QCOMPARE(toggle.count(), 0);
}

QTEST_GUILESS_MAIN(TestHotkeySettings)
#include "tst_hotkeysettings.moc"
