#include "hotkeys/KeyNames.h"
#include "hotkeys/MacKeyCodes.h"

#include <QTest>

class TestMacKeyCodes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void samePhysicalKey_data();
    void samePhysicalKey();
    void everyNamedKeyHasAPositionAndBack();
    void keysWithoutAMacCodeAreAbsent_data();
    void keysWithoutAMacCodeAreAbsent();
};

void TestMacKeyCodes::samePhysicalKey_data() {
    QTest::addColumn<uint>("mac");
    QTest::addColumn<uint>("xKeycode");
    // X keycodes of the evdev keymap, as `xmodmap -pke` shows them.
    QTest::newRow("A") << 0u << 38u;
    QTest::newRow("K") << 40u << 45u;
    QTest::newRow("Z") << 6u << 52u;
    QTest::newRow("1") << 18u << 10u;
    QTest::newRow("2") << 19u << 11u;
    QTest::newRow("3") << 20u << 12u;
    QTest::newRow("0") << 29u << 19u;
    QTest::newRow("grave") << 50u << 49u;
    QTest::newRow("ISO key beside left Shift") << 10u << 94u;
    QTest::newRow("Return") << 36u << 36u;
    QTest::newRow("Backspace") << 51u << 22u;
    QTest::newRow("forward Delete") << 117u << 119u;
    QTest::newRow("Escape") << 53u << 9u;
    QTest::newRow("Space") << 49u << 65u;
    QTest::newRow("Left") << 123u << 113u;
    QTest::newRow("Up") << 126u << 111u;
    QTest::newRow("Page Down") << 121u << 117u;
    QTest::newRow("keypad 0") << 82u << 90u;
    QTest::newRow("keypad Enter") << 76u << 104u;
    QTest::newRow("F1") << 122u << 67u;
    QTest::newRow("F12") << 111u << 96u;
    QTest::newRow("F13") << 105u << 191u;
}

void TestMacKeyCodes::samePhysicalKey() {
    QFETCH(uint, mac);
    QFETCH(uint, xKeycode);
    QCOMPARE(MacKeyCodes::toXKeycode(mac), std::optional<quint32>(xKeycode));
    QCOMPARE(MacKeyCodes::fromXKeycode(xKeycode), std::optional<quint32>(mac));
}

void TestMacKeyCodes::everyNamedKeyHasAPositionAndBack() {
    const QHash<quint32, QString>& names = KeyNames::keyNameTable();
    QSet<quint32> positions;
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        const std::optional<quint32> evdev = MacKeyCodes::toEvdev(it.key());
        QVERIFY2(evdev, qPrintable(it.value()));
        QVERIFY2(!positions.contains(*evdev), qPrintable(it.value())); // no two keys at one place
        positions.insert(*evdev);
        QCOMPARE(MacKeyCodes::fromEvdev(*evdev), std::optional<quint32>(it.key()));
    }
}

void TestMacKeyCodes::keysWithoutAMacCodeAreAbsent_data() {
    QTest::addColumn<uint>("evdev");
    QTest::newRow("left Shift") << 42u;
    QTest::newRow("left Alt") << 56u;
    QTest::newRow("Print") << 99u;
    QTest::newRow("Pause") << 119u;
    QTest::newRow("reserved 0") << 0u;
}

void TestMacKeyCodes::keysWithoutAMacCodeAreAbsent() {
    QFETCH(uint, evdev);
    QCOMPARE(MacKeyCodes::fromEvdev(evdev), std::nullopt);
    QCOMPARE(MacKeyCodes::fromXKeycode(3), std::nullopt);
}

QTEST_GUILESS_MAIN(TestMacKeyCodes)
#include "tst_mackeycodes.moc"
