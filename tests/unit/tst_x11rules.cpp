#include "platform/TerminationSignals.h"
#include "platform/x11/BindingRecord.h"
#include "platform/x11/HotkeyGrabRules.h"
#include "platform/x11/X11Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace HotkeyGrabRules;

class TestX11Rules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void modifiersBecomeCoreModifiers();
    void lockModifiersAreReadFromTheModifierMap();
    void everyLockCombinationIsGrabbedOnce_data();
    void everyLockCombinationIsGrabbedOnce();
    void altShiftLayoutSwitchIsRecognised_data();
    void altShiftLayoutSwitchIsRecognised();

    void recordOfACrashedProcessIsFound();
    void onlyKeycodesStillCarryingTheRecordedSymbolAreCleared();
    void recycledPidDoesNotCountAsRunning();
    void displayNamesAreCompared_data();
    void displayNamesAreCompared();

    void sessionProblems_data();
    void sessionProblems();
    void terminationSignalArrivesOnTheEventLoop();
};

void TestX11Rules::modifiersBecomeCoreModifiers() {
    QCOMPARE(coreMask(HotkeyModifier::Alt | HotkeyModifier::Shift), quint16(Mod1Mask | ShiftMask));
    QCOMPARE(coreMask(HotkeyModifier::Control | HotkeyModifier::Super), quint16(ControlMask | Mod4Mask));
    QCOMPARE(coreMask({}), quint16(0));
}

void TestX11Rules::lockModifiersAreReadFromTheModifierMap() {
    KeymapSnapshot keymap;
    keymap.symbols.insert(77, {0xff7f}); // Num_Lock
    keymap.symbols.insert(78, {0xff14}); // Scroll_Lock
    keymap.modifiers[4] = {77};          // Mod2
    QCOMPARE(lockMasks(keymap), (LockMasks{LockMask, 1 << 4, 0}));
    keymap.modifiers[5] = {78}; // Mod3
    QCOMPARE(lockMasks(keymap), (LockMasks{LockMask, 1 << 4, 1 << 5}));
    keymap.modifiers[4] = {};
    keymap.modifiers[3] = {77}; // Num Lock on Alt's modifier would swallow Alt
    QCOMPARE(lockMasks(keymap), (LockMasks{LockMask, 0, 1 << 5}));
}

void TestX11Rules::everyLockCombinationIsGrabbedOnce_data() {
    QTest::addColumn<uint>("num");
    QTest::addColumn<uint>("scroll");
    QTest::addColumn<int>("count");
    QTest::newRow("Caps, Num and Scroll Lock") << 16u << 32u << 8;
    QTest::newRow("no Scroll Lock") << 16u << 0u << 4;
    QTest::newRow("only Caps Lock") << 0u << 0u << 2;
}

void TestX11Rules::everyLockCombinationIsGrabbedOnce() {
    QFETCH(uint, num);
    QFETCH(uint, scroll);
    QFETCH(int, count);
    const QList<quint16> combinations = lockCombinations({LockMask, quint16(num), quint16(scroll)});
    QCOMPARE(combinations.size(), count);
    QCOMPARE(combinations.first(), 0);
    QCOMPARE(QSet<quint16>(combinations.cbegin(), combinations.cend()).size(), count);
    for (quint16 combination : combinations)
        QCOMPARE(combination & ~(LockMask | num | scroll), 0u);
}

void TestX11Rules::altShiftLayoutSwitchIsRecognised_data() {
    QTest::addColumn<QByteArray>("rulesNames");
    QTest::addColumn<QString>("option");
    const auto names = [](const char* options) {
        return QByteArray("evdev\0pc105\0us,ru\0\0", 19) + QByteArray(options) + QByteArray(1, '\0');
    };
    QTest::newRow("Alt+Shift") << names("grp:alt_shift_toggle") << QStringLiteral("grp:alt_shift_toggle");
    QTest::newRow("among others") << names("caps:escape,grp:lalt_lshift_toggle,terminate:ctrl_alt_bksp")
                                  << QStringLiteral("grp:lalt_lshift_toggle");
    QTest::newRow("both directions") << names("grp:alt_shift_toggle_bidir")
                                     << QStringLiteral("grp:alt_shift_toggle_bidir");
    QTest::newRow("Ctrl+Shift") << names("grp:ctrl_shift_toggle") << QString();
    QTest::newRow("Alt+Space") << names("grp:alt_space_toggle") << QString();
    QTest::newRow("no options") << names("") << QString();
    QTest::newRow("property absent") << QByteArray() << QString();
}

void TestX11Rules::altShiftLayoutSwitchIsRecognised() {
    QFETCH(QByteArray, rulesNames);
    QFETCH(QString, option);
    QCOMPARE(altShiftLayoutSwitch(rulesNames), option);
}

void TestX11Rules::recordOfACrashedProcessIsFound() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("runeboard"));
    BindingRecord crashed(folder, QStringLiteral(":5"), 4001);
    QVERIFY(crashed.write({{93, {0x1000105}}, {97, {0xe9, 0x1000119}}}));
    BindingRecord running(folder, QStringLiteral(":5"), 4002);
    QVERIFY(running.write({{103, {0x61}}}));
    BindingRecord otherDisplay(folder, QStringLiteral(":6"), 4003);
    QVERIFY(otherDisplay.write({{120, {0x62}}}));
    QCOMPARE(QFileInfo(folder).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());

    BindingRecord self(folder, QStringLiteral(":5.0"), 4004);
    const QList<BindingRecord::Leftover> leftovers =
        self.leftovers([](qint64 pid, const QString&) { return pid == 4002; });
    QCOMPARE(leftovers.size(), 1);
    QCOMPARE(leftovers.first().pid, 4001);
    QCOMPARE(leftovers.first().bindings,
             (BindingRecord::Bindings{{93, {0x1000105}}, {97, {0xe9, 0x1000119}}}));

    QVERIFY(crashed.write({}));
    QVERIFY(!QFile::exists(crashed.path()));
}

void TestX11Rules::onlyKeycodesStillCarryingTheRecordedSymbolAreCleared() {
    BindingRecord::Leftover leftover{
        {}, 1, {{93, {0x1000105}}, {97, {0xe9, 0x1000119}}, {103, {0x61}}, {120, {0x62}}}};
    KeymapSnapshot keymap;
    keymap.symbols.insert(93, {0x1000105, 0x1000105}); // still ours
    keymap.symbols.insert(97, {0x1000119, 0x1000119}); // the newer of the two it may hold
    keymap.symbols.insert(103, {0x61, 0x41});          // someone else's key now
    // 120 is empty already
    QCOMPARE(BindingRecord::keycodesToClear(leftover, keymap), (QList<quint8>{93, 97}));
}

void TestX11Rules::recycledPidDoesNotCountAsRunning() {
    const qint64 self = QCoreApplication::applicationPid();
    QVERIFY(BindingRecord::processIsRunning(self, QCoreApplication::applicationFilePath()));
    QVERIFY(!BindingRecord::processIsRunning(self, QStringLiteral("/usr/bin/runeboard")));
    QVERIFY(!BindingRecord::processIsRunning(0, QCoreApplication::applicationFilePath()));
}

void TestX11Rules::displayNamesAreCompared_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("normalized");
    QTest::newRow("plain") << ":0"
                           << ":0";
    QTest::newRow("screen") << ":1.0"
                            << ":1";
    QTest::newRow("unix") << "unix:12"
                          << ":12";
    QTest::newRow("remote stays apart") << "host:0"
                                        << "host:0";
}

void TestX11Rules::displayNamesAreCompared() {
    QFETCH(QString, name);
    QFETCH(QString, normalized);
    QCOMPARE(BindingRecord::normalizedDisplay(name), normalized);
}

void TestX11Rules::sessionProblems_data() {
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QByteArray>("wayland");
    QTest::addColumn<QByteArray>("sessionType");
    QTest::addColumn<QString>("contains");
    QTest::newRow("X11 session") << "xcb" << QByteArray(":0") << QByteArray() << QByteArray("x11")
                                 << QString();
    QTest::newRow("no display") << "offscreen" << QByteArray() << QByteArray() << QByteArray()
                                << "DISPLAY is not set";
    QTest::newRow("Wayland through XWayland") << "xcb" << QByteArray(":0") << QByteArray("wayland-0")
                                              << QByteArray("wayland") << "X11 programs only";
    QTest::newRow("Wayland session type only")
        << "xcb" << QByteArray(":0") << QByteArray() << QByteArray("wayland") << "X11 programs only";
    QTest::newRow("Wayland without X")
        << "wayland" << QByteArray() << QByteArray("wayland-0") << QByteArray("wayland") << "no X display";
    QTest::newRow("Qt told to use another platform")
        << "offscreen" << QByteArray(":0") << QByteArray() << QByteArray() << "QT_QPA_PLATFORM";
}

void TestX11Rules::sessionProblems() {
    QFETCH(QString, platform);
    QFETCH(QByteArray, display);
    QFETCH(QByteArray, wayland);
    QFETCH(QByteArray, sessionType);
    QFETCH(QString, contains);
    const QString problem = X11Platform::sessionProblem(platform, display, wayland, sessionType);
    if (contains.isEmpty())
        QCOMPARE(problem, QString());
    else
        QVERIFY2(problem.contains(contains), qPrintable(problem));
}

void TestX11Rules::terminationSignalArrivesOnTheEventLoop() {
    TerminationSignals signals;
    QVERIFY(signals.isActive());
    QSignalSpy received(&signals, &TerminationSignals::received);
    std::raise(SIGTERM);
    QVERIFY(received.wait(2000));
    QCOMPARE(received.first().first().toInt(), SIGTERM);
}

QTEST_GUILESS_MAIN(TestX11Rules)
#include "tst_x11rules.moc"
