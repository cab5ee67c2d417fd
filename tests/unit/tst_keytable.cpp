#include "hotkeys/KeyTable.h"

#include <QKeySequence>
#include <QTest>

class TestKeyTable : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void samePhysicalKey_data();
    void samePhysicalKey();
    void everyNamedKeyHasAPlaceOfItsOwn();
    void displayText_data();
    void displayText();
    void modifiers();
};

void TestKeyTable::samePhysicalKey_data() {
    QTest::addColumn<uint>("mac");
    QTest::addColumn<uint>("xKeycode"); // 0: no macOS key sits there
    // X keycodes of the evdev keymap, as `xmodmap -pke` shows them.
    QTest::newRow("A") << 0u << 38u;
    QTest::newRow("K") << 40u << 45u;
    QTest::newRow("1") << 18u << 10u;
    QTest::newRow("grave") << 50u << 49u;
    QTest::newRow("ISO key beside left Shift") << 10u << 94u;
    QTest::newRow("forward Delete") << 117u << 119u;
    QTest::newRow("keypad Enter") << 76u << 104u;
    QTest::newRow("F13") << 105u << 191u;
    QTest::newRow("left Shift has no code") << 0u << 50u;
    QTest::newRow("Print has no code") << 0u << 107u;
}

void TestKeyTable::samePhysicalKey() {
    QFETCH(uint, mac);
    QFETCH(uint, xKeycode);
    if (mac == 0 && xKeycode != 38) {
        QCOMPARE(KeyTable::fromXKeycode(xKeycode), std::nullopt);
        return;
    }
    QCOMPARE(KeyTable::toEvdev(mac), std::optional<quint32>(xKeycode - 8));
    QCOMPARE(KeyTable::fromXKeycode(xKeycode), std::optional<quint32>(mac));
}

void TestKeyTable::everyNamedKeyHasAPlaceOfItsOwn() {
    const QHash<quint32, QString>& names = KeyTable::keyNameTable();
    QSet<quint32> places;
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        const std::optional<quint32> evdev = KeyTable::toEvdev(it.key());
        QVERIFY2(evdev && !places.contains(*evdev), qPrintable(it.value()));
        places.insert(*evdev);
        QCOMPARE(KeyTable::fromEvdev(*evdev), std::optional<quint32>(it.key()));
    }
}

void TestKeyTable::displayText_data() {
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
    row("default set 1", 18u, 2560u, "Alt+Shift+1", "Alt+Shift+1");
    // Qt writes its own hint words and order: Super is its Meta, first.
    row("all four in fixed order", 40u, 6912u, "Ctrl+Alt+Shift+Super+K", "Meta+Ctrl+Alt+Shift+K");
    row("key code 0 is A", 0u, 256u, "Super+A", "Meta+A");
    row("unknown mask bits hidden", 40u, (0x10000u | 2048u), "Alt+K", "Alt+K");
    row("keypad twin", 83u, 2048u, "Alt+1", "Alt+1");
    row("Backspace", 51u, 4096u, "Ctrl+Backspace", "Ctrl+Backspace");
    row("arrow", 123u, 4096u, "Ctrl+Left", "Ctrl+Left");
    row("page down", 121u, 2048u, "Alt+PgDn", "Alt+PgDown");
    row("function key", 111u, 4096u, "Ctrl+F12", "Ctrl+F12");
    row("unnamed key", 10u, 256u, "Super+Key10", "");
}

void TestKeyTable::displayText() {
    QFETCH(quint32, keyCode);
    QFETCH(quint32, modifiers);
    QFETCH(QString, expected);
    QFETCH(QString, menuHint);
    const HotkeyConfig config{keyCode, modifiers};
    QCOMPARE(KeyTable::displayText(config), expected);
    const std::optional<QKeyCombination> combination = KeyTable::keyCombination(config);
    QCOMPARE(combination ? QKeySequence(*combination).toString() : QString(), menuHint);
}

void TestKeyTable::modifiers() {
    // Qt's modifiers are stored as Carbon bits and grabbed as neutral ones; the keypad flag is no modifier.
    const Qt::KeyboardModifiers all =
        Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier | Qt::KeypadModifier;
    QCOMPARE(KeyTable::carbonModifiers(all), 6912u);
    QCOMPARE(KeyTable::carbonModifiers(Qt::AltModifier | Qt::ShiftModifier), 2560u);
    QCOMPARE(KeyTable::fromCarbon(2560u), HotkeyModifier::Alt | HotkeyModifier::Shift);
    QCOMPARE(KeyTable::fromCarbon(6912u | 0x10000u),
             HotkeyModifier::Alt | HotkeyModifier::Shift | HotkeyModifier::Control | HotkeyModifier::Super);
}

QTEST_GUILESS_MAIN(TestKeyTable)
#include "tst_keytable.moc"
