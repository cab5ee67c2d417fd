#include "hotkeys/KeyNames.h"

#include <QTest>

class TestKeyNames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void displayText_data();
    void displayText();
    void tableHasEveryNamedKey();
    void carbonModifiers_data();
    void carbonModifiers();
};

void TestKeyNames::displayText_data() {
    QTest::addColumn<quint32>("keyCode");
    QTest::addColumn<quint32>("modifiers");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty combination") << 0u << 0u << "—";
    QTest::newRow("default toggle") << 40u << 2560u << "⌥⇧K";
    QTest::newRow("control shift F5") << 96u << 4608u << "⌃⇧F5";
    QTest::newRow("unnamed key") << 10u << 256u << "⌘Key10";
    QTest::newRow("all four in fixed order") << 40u << 6912u << "⌃⌥⇧⌘K";
    QTest::newRow("key code 0 is A") << 0u << 256u << "⌘A";
    QTest::newRow("key without modifiers") << 5u << 0u << "G";
    QTest::newRow("unknown mask bits hidden") << 40u << (0x10000u | 2048u) << "⌥K";
    QTest::newRow("grave accent") << 50u << 4096u << "⌃`";
    QTest::newRow("backslash") << 42u << 2048u << "⌥\\";
    QTest::newRow("backspace glyph") << 51u << 256u << "⌘⌫";
    QTest::newRow("arrow") << 123u << 4096u << "⌃←";
    QTest::newRow("keypad twin") << 83u << 2048u << "⌥1";
    QTest::newRow("F1 is 122") << 122u << 256u << "⌘F1";
    QTest::newRow("largest code") << 4294967295u << 512u << "⇧Key4294967295";
}

void TestKeyNames::displayText() {
    QFETCH(quint32, keyCode);
    QFETCH(quint32, modifiers);
    QFETCH(QString, expected);
    QCOMPARE(KeyNames::displayText(HotkeyConfig{keyCode, modifiers}), expected);
}

void TestKeyNames::tableHasEveryNamedKey() {
    const auto& table = KeyNames::keyNameTable();
    QCOMPARE(table.size(), 92);
    for (quint32 unnamed : {10u, 52u, 64u, 71u, 81u, 106u, 114u})
        QVERIFY2(!table.contains(unnamed), qPrintable(QString::number(unnamed)));
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        QVERIFY2(!it.value().isEmpty(), qPrintable(QString::number(it.key())));
}

void TestKeyNames::carbonModifiers_data() {
    QTest::addColumn<Qt::KeyboardModifiers>("qtModifiers");
    QTest::addColumn<quint32>("expected");
    QTest::newRow("none") << Qt::KeyboardModifiers() << 0u;
    QTest::newRow("control") << Qt::KeyboardModifiers(Qt::ControlModifier) << 4096u;
    QTest::newRow("alt") << Qt::KeyboardModifiers(Qt::AltModifier) << 2048u;
    QTest::newRow("shift") << Qt::KeyboardModifiers(Qt::ShiftModifier) << 512u;
    QTest::newRow("super") << Qt::KeyboardModifiers(Qt::MetaModifier) << 256u;
    QTest::newRow("all four") << (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier |
                                  Qt::MetaModifier)
                              << 6912u;
    QTest::newRow("keypad dropped") << (Qt::KeypadModifier | Qt::ShiftModifier) << 512u;
    QTest::newRow("group switch dropped") << Qt::KeyboardModifiers(Qt::GroupSwitchModifier) << 0u;
}

void TestKeyNames::carbonModifiers() {
    QFETCH(Qt::KeyboardModifiers, qtModifiers);
    QFETCH(quint32, expected);
    QCOMPARE(KeyNames::carbonModifiers(qtModifiers), expected);
}

QTEST_GUILESS_MAIN(TestKeyNames)
#include "tst_keynames.moc"
