// The end-to-end harness itself: a private display, a window manager and both
// receivers work, so a failure elsewhere points at Runeboard, not at the set-up.
#include "XSession.h"

#include <QTest>

class TestHarness : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void receiversGetWhatXdotoolTypes_data();
    void receiversGetWhatXdotoolTypes();
};

void TestHarness::receiversGetWhatXdotoolTypes_data() {
    QTest::addColumn<bool>("lineEdit");
    QTest::newRow("xterm") << false;
    QTest::newRow("Qt line edit") << true;
}

void TestHarness::receiversGetWhatXdotoolTypes() {
    QFETCH(bool, lineEdit);
    XSession session;
    QString error;
    QVERIFY2(session.start(&error), qPrintable(error));
    QVERIFY(session.keymap().contains(QStringLiteral("keycode")));

    const QString out = session.scratchPath(QStringLiteral("received.txt"));
    const QString window = lineEdit ? session.startLineEditReceiver(out) : session.startXtermReceiver(out);
    QVERIFY(!window.isEmpty());
    QCOMPARE(session.activeWindow(), window);
    session.xdotool({QStringLiteral("type"), QStringLiteral("--window"), window, QStringLiteral("abc 123")});
    QCOMPARE(XSession::waitForFileText(out, QStringLiteral("abc 123")), QStringLiteral("abc 123"));
}

QTEST_GUILESS_MAIN(TestHarness)
#include "e2e_harness.moc"
