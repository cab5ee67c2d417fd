// Global hotkeys and the Shift monitor on a real X server, through the same
// platform services and hotkey manager the application uses (rb-hotkey-probe
// prints what reaches the callback): each default combination, with lock keys
// on, held down, taken by another program, with a second layout group active,
// and with Alt+Shift switching layouts.
#include "XSession.h"

#include <QTest>

namespace {
const QStringList allIdentifiers{QStringLiteral("hotkey K"), QStringLiteral("hotkey 1"),
                                 QStringLiteral("hotkey 2"), QStringLiteral("hotkey 3")};
const QStringList defaultCombinations{QStringLiteral("alt+shift+k"), QStringLiteral("alt+shift+1"),
                                      QStringLiteral("alt+shift+2"), QStringLiteral("alt+shift+3")};
} // namespace

class TestHotkeys : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void eachDefaultHotkeyReachesTheCallback_data();
    void eachDefaultHotkeyReachesTheCallback();
    void heldCombinationFiresOnce();
    void combinationTakenByAnotherProgramIsReportedAndTheOthersWork();
    void secondLayoutGroupChangesNothing();
    void altShiftLayoutSwitchIsExplainedOnce();
    void shiftIsFollowedWhateverHasTheFocus();

private:
    // Starts the probe and waits until it has registered the hotkeys.
    bool startProbe();
    // The probe's lines that report activations, in order.
    QStringList activations();
    QStringList lines();
    bool waitForLines(const std::function<bool(const QStringList&)>& condition, int timeoutMs = 10000);
    int helper(const QStringList& arguments);

    XSession m_session;
    QProcess* m_probe = nullptr;
    QProcess* m_grabber = nullptr;
    QString m_output;
    bool m_layoutChanged = false;
};

void TestHotkeys::initTestCase() {
    QString error;
    QVERIFY2(m_session.start(&error), qPrintable(error));
    QVERIFY(QFileInfo(XSession::toolPath(QStringLiteral("rb-hotkey-probe"))).isExecutable());
}

void TestHotkeys::cleanup() {
    for (QProcess* process : {m_probe, m_grabber}) {
        if (process && process->state() != QProcess::NotRunning) {
            process->terminate();
            process->waitForFinished(5000);
        }
    }
    m_probe = m_grabber = nullptr;
    m_output.clear();
    if (m_layoutChanged) {
        m_session.run(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("us"),
                                                    QStringLiteral("-option"), QString()});
        helper({QStringLiteral("lock-group"), QStringLiteral("0")});
        m_layoutChanged = false;
    }
}

bool TestHotkeys::startProbe() {
    m_probe = m_session.launch(XSession::toolPath(QStringLiteral("rb-hotkey-probe")), {});
    return waitForLines([](const QStringList& lines) { return lines.contains(QStringLiteral("ready")); });
}

QStringList TestHotkeys::lines() {
    if (m_probe)
        m_output += QString::fromUtf8(m_probe->readAllStandardOutput());
    return m_output.split(u'\n', Qt::SkipEmptyParts);
}

QStringList TestHotkeys::activations() {
    QStringList found = lines();
    found.removeIf([](const QString& line) { return !line.startsWith(QStringLiteral("hotkey ")); });
    return found;
}

bool TestHotkeys::waitForLines(const std::function<bool(const QStringList&)>& condition, int timeoutMs) {
    return XSession::waitFor([&] { return condition(lines()); }, timeoutMs);
}

int TestHotkeys::helper(const QStringList& arguments) {
    return m_session.run(XSession::toolPath(QStringLiteral("rb-x11-helper")), arguments).exitCode;
}

void TestHotkeys::eachDefaultHotkeyReachesTheCallback_data() {
    QTest::addColumn<QString>("lockKey");
    QTest::newRow("no lock key") << QString();
    QTest::newRow("Caps Lock on") << QStringLiteral("Caps_Lock");
    QTest::newRow("Num Lock on") << QStringLiteral("Num_Lock");
}

void TestHotkeys::eachDefaultHotkeyReachesTheCallback() {
    QFETCH(QString, lockKey);
    QVERIFY(startProbe());
    if (!lockKey.isEmpty())
        m_session.xdotool({QStringLiteral("key"), lockKey});
    for (const QString& combination : defaultCombinations)
        m_session.xdotool({QStringLiteral("key"), combination});
    const bool arrived = waitForLines([&](const QStringList&) { return activations().size() >= 4; });
    if (!lockKey.isEmpty())
        m_session.xdotool({QStringLiteral("key"), lockKey});
    QVERIFY(arrived);
    QCOMPARE(activations(), allIdentifiers);
}

void TestHotkeys::heldCombinationFiresOnce() {
    QVERIFY(startProbe());
    m_session.xdotool({QStringLiteral("keydown"), QStringLiteral("alt+shift+k")});
    QTest::qWait(1500); // well past the server's auto-repeat delay
    m_session.xdotool({QStringLiteral("keyup"), QStringLiteral("alt+shift+k")});
    m_session.xdotool({QStringLiteral("key"), QStringLiteral("alt+shift+1")});
    QVERIFY(
        waitForLines([&](const QStringList&) { return activations().contains(QStringLiteral("hotkey 1")); }));
    QCOMPARE(activations(), (QStringList{QStringLiteral("hotkey K"), QStringLiteral("hotkey 1")}));
}

void TestHotkeys::combinationTakenByAnotherProgramIsReportedAndTheOthersWork() {
    // Alt+Shift+K: keycode 45 with Shift (1) and Mod1 (8).
    m_grabber = m_session.launch(XSession::toolPath(QStringLiteral("rb-x11-helper")),
                                 {QStringLiteral("grab"), QStringLiteral("45"), QStringLiteral("9")});
    QVERIFY(XSession::waitFor([&] { return m_grabber->canReadLine() || m_grabber->waitForReadyRead(50); }));
    QCOMPARE(m_grabber->readLine().trimmed(), QByteArray("grabbed"));

    QVERIFY(startProbe());
    QVERIFY(
        lines().contains(QStringLiteral("[GlobalHotkeyManager] Failed to register hotkey 'K': status 10")));
    for (const QString& combination : defaultCombinations)
        m_session.xdotool({QStringLiteral("key"), combination});
    QVERIFY(waitForLines([&](const QStringList&) { return activations().size() >= 3; }));
    QTest::qWait(200);
    QCOMPARE(activations(), allIdentifiers.mid(1));
    QCOMPARE(m_probe->state(), QProcess::Running);
}

void TestHotkeys::secondLayoutGroupChangesNothing() {
    QVERIFY(startProbe());
    m_layoutChanged = true;
    QCOMPARE(m_session.run(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("us,ru")})
                 .exitCode,
             0);
    QCOMPARE(helper({QStringLiteral("lock-group"), QStringLiteral("1")}), 0);
    // By physical keys, as a user of the Russian layout presses them: Alt_L (64), Shift_L (50), then K (45)
    // or 1 (10).
    QCOMPARE(
        helper({QStringLiteral("keys"), QStringLiteral("64"), QStringLiteral("50"), QStringLiteral("45")}),
        0);
    QCOMPARE(
        helper({QStringLiteral("keys"), QStringLiteral("64"), QStringLiteral("50"), QStringLiteral("10")}),
        0);
    QVERIFY(waitForLines([&](const QStringList&) { return activations().size() >= 2; }));
    QCOMPARE(activations(), allIdentifiers.mid(0, 2));
}

void TestHotkeys::altShiftLayoutSwitchIsExplainedOnce() {
    m_layoutChanged = true;
    QCOMPARE(m_session
                 .run(QStringLiteral("setxkbmap"),
                      {QStringLiteral("-layout"), QStringLiteral("us,ru"), QStringLiteral("-option"),
                       QStringLiteral("grp:alt_shift_toggle")})
                 .exitCode,
             0);
    QVERIFY(startProbe());
    QStringList warnings = lines();
    warnings.removeIf(
        [](const QString& line) { return !line.startsWith(QStringLiteral("[X11HotkeyService]")); });
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings.first().contains(QStringLiteral("grp:alt_shift_toggle")), qPrintable(warnings.first()));
}

void TestHotkeys::shiftIsFollowedWhateverHasTheFocus() {
    const QString out = m_session.scratchPath(QStringLiteral("shift.txt"));
    QVERIFY(!m_session.startXtermReceiver(out).isEmpty());
    QVERIFY(startProbe());
    QVERIFY(waitForLines([](const QStringList& lines) { return lines.contains(QStringLiteral("shift 0")); }));
    m_session.xdotool({QStringLiteral("keydown"), QStringLiteral("shift")});
    QVERIFY(waitForLines([](const QStringList& lines) { return lines.endsWith(QStringLiteral("shift 1")); }));
    m_session.xdotool({QStringLiteral("keyup"), QStringLiteral("shift")});
    QVERIFY(waitForLines([](const QStringList& lines) { return lines.endsWith(QStringLiteral("shift 0")); }));
}

QTEST_GUILESS_MAIN(TestHotkeys)
#include "e2e_hotkeys.moc"
