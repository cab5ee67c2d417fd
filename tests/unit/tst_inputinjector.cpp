#include "RecordingTypingBackend.h"
#include "keyboard/InputInjector.h"

#include "StdoutCapture.h"

#include <QTest>

using Event = RecordingTypingBackend::Event;

class TestInputInjector : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onePairPerScalarInOrder_data();
    void onePairPerScalarInOrder();
    void missingFacilityTypesNothingEvenForEmptyText_data();
    void missingFacilityTypesNothingEvenForEmptyText();
    void failedEventsAreReportedAndTheRestTyped_data();
    void failedEventsAreReportedAndTheRestTyped();
};

void TestInputInjector::onePairPerScalarInOrder_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<uint>>("scalars");
    QTest::newRow("precomposed é") << QStringLiteral("é") << QList<uint>{0xe9};
    QTest::newRow("e and combining acute") << QStringLiteral("e\u0301") << QList<uint>{0x65, 0x301};
    QTest::newRow("astral symbol is one scalar") << QStringLiteral("𝔸") << QList<uint>{0x1d538};
    QTest::newRow("upper-cased ß") << QStringLiteral("SS") << QList<uint>{0x53, 0x53};
    QTest::newRow("mixed") << QStringLiteral("ą𝔸\n") << QList<uint>{0x105, 0x1d538, 0x0a};
    QTest::newRow("lone surrogate becomes the replacement character")
        << QString(QChar(0xd835)) + QStringLiteral("a") << QList<uint>{0xfffd, 0x61};
    QTest::newRow("empty") << QString() << QList<uint>{};
}

void TestInputInjector::onePairPerScalarInOrder() {
    QFETCH(QString, text);
    QFETCH(QList<uint>, scalars);
    RecordingTypingBackend backend;
    StdoutCapture output;
    QCOMPARE(InputInjector(backend).typeText(text), 0);
    QList<Event> expected;
    for (uint scalar : scalars)
        expected << Event{true, scalar} << Event{false, scalar};
    QCOMPARE(backend.events, expected);
    QCOMPARE(backend.openCount, 1);
    QCOMPARE(backend.closeCount, 1);
    QCOMPARE(output.lines(), QStringList());
}

void TestInputInjector::missingFacilityTypesNothingEvenForEmptyText_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("text") << QStringLiteral("ą");
    QTest::newRow("empty") << QString();
}

void TestInputInjector::missingFacilityTypesNothingEvenForEmptyText() {
    QFETCH(QString, text);
    RecordingTypingBackend backend;
    backend.failOpen = true;
    StdoutCapture output;
    InputInjector(backend).typeText(text);
    QVERIFY(backend.events.isEmpty());
    QCOMPARE(backend.closeCount, 0);
    QCOMPARE(output.lines(),
             QStringList{QStringLiteral(
                 "[InputInjector] Failed to create CGEventSource — check Accessibility permissions")});
}

void TestInputInjector::failedEventsAreReportedAndTheRestTyped_data() {
    QTest::addColumn<uint>("failDown");
    QTest::addColumn<uint>("failUp");
    QTest::addColumn<QList<Event>>("events");
    QTest::addColumn<QString>("line");
    QTest::newRow("key-down of b") << 0x62u << 0u
                                   << QList<Event>{{true, 0x61}, {false, 0x61}, {true, 0x63}, {false, 0x63}}
                                   << QStringLiteral("[InputInjector] Failed to create keyDown event");
    QTest::newRow("key-up of b")
        << 0u << 0x62u << QList<Event>{{true, 0x61}, {false, 0x61}, {true, 0x62}, {true, 0x63}, {false, 0x63}}
        << QStringLiteral("[InputInjector] Failed to create keyUp event");
}

void TestInputInjector::failedEventsAreReportedAndTheRestTyped() {
    QFETCH(uint, failDown);
    QFETCH(uint, failUp);
    QFETCH(QList<Event>, events);
    QFETCH(QString, line);
    RecordingTypingBackend backend;
    if (failDown)
        backend.failKeyDown.insert(failDown);
    if (failUp)
        backend.failKeyUp.insert(failUp);
    StdoutCapture output;
    QCOMPARE(InputInjector(backend).typeText(QStringLiteral("abc")), 1);
    QCOMPARE(backend.events, events);
    QCOMPARE(backend.closeCount, 1);
    QCOMPARE(output.lines(), QStringList{line});
}

QTEST_GUILESS_MAIN(TestInputInjector)
#include "tst_inputinjector.moc"
