#include "platform/x11/BindingRecord.h"
#include "platform/x11/HotkeyGrabRules.h"
#include "platform/x11/X11Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

using namespace HotkeyGrabRules;
using Bindings = BindingRecord::Bindings;

namespace {
constexpr quint8 alphabetic = 2;
constexpr quint32 aogonek = 0x1000105;
constexpr quint32 eogonek = 0x1000119;
constexpr quint32 schwa = 0x1000259;
constexpr quint32 plusminus = 0xb1;
} // namespace

class TestX11Rules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lockModifiersAreReadFromTheModifierMap() {
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

    void altShiftLayoutSwitchIsRecognised_data() {
        QTest::addColumn<QByteArray>("rulesNames");
        QTest::addColumn<QString>("option");
        const auto names = [](const char* options) {
            return QByteArray("evdev\0pc105\0us,ru\0\0", 19) + QByteArray(options) + QByteArray(1, '\0');
        };
        QTest::newRow("among others") << names("caps:escape,grp:lalt_lshift_toggle,terminate:ctrl_alt_bksp")
                                      << QStringLiteral("grp:lalt_lshift_toggle");
        QTest::newRow("right keys, both ways")
            << names("grp:rshift_ralt_toggle_bidir") << QStringLiteral("grp:rshift_ralt_toggle_bidir");
        QTest::newRow("Ctrl+Shift") << names("grp:ctrl_shift_toggle") << QString();
        QTest::newRow("not a toggle") << names("grp:alt_shift_switch,grp:xalt_shift_toggle") << QString();
        QTest::newRow("property absent") << QByteArray() << QString();
    }

    void altShiftLayoutSwitchIsRecognised() {
        QFETCH(QByteArray, rulesNames);
        QFETCH(QString, option);
        QCOMPARE(altShiftLayoutSwitch(rulesNames), option);
    }

    void recordsAreBelievedOnlyFromThisUserForThisServer() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("runeboard"));
        const Bindings bound{{93, {aogonek}}, {97, {0xe9, eogonek}}};
        const auto record = [&](const QString& display, const QByteArray& server, qint64 pid) {
            BindingRecord written(folder, display, server, pid);
            return written.write(bound) ? written.path() : QString();
        };
        const QString crashed = record(QStringLiteral(":5"), "A", 4001);
        QVERIFY(!record(QStringLiteral(":5"), "A", 4002).isEmpty()); // still running
        const QString otherDisplay = record(QStringLiteral(":6"), "A", 4003);
        const QString otherServer = record(QStringLiteral(":5"), "B", 4004); // :5 was another server then
        QFile::setPermissions(record(QStringLiteral(":5"), "A", 4005), QFile::Permissions(0x6664));
        QVERIFY(QFile::link(crashed, folder + QStringLiteral("/keymap-4006.json")));
        QCOMPARE(QFileInfo(folder).permissions() & 0x0077, QFile::Permissions());

        BindingRecord self(folder, QStringLiteral(":5.0"), "A", 4010);
        const auto isRunning = [](qint64 pid, const QString&) { return pid == 4002; };
        const QList<BindingRecord::Leftover> leftovers = self.leftovers(isRunning);
        QCOMPARE(leftovers.size(), 1);
        QCOMPARE(leftovers.first().pid, 4001);
        QCOMPARE(leftovers.first().bindings, bound);
        QVERIFY(!QFile::exists(otherServer));
        QVERIFY(QFile::exists(otherDisplay));

        // Nothing is believed from a folder that others may write to, nor without knowing the server.
        QVERIFY(BindingRecord(folder, QStringLiteral(":5"), {}, 4010).leftovers(isRunning).isEmpty());
        QFile::setPermissions(folder, QFile::Permissions(0x7755));
        QVERIFY(self.leftovers(isRunning).isEmpty());
        QFile::setPermissions(folder, QFile::Permissions(0x7700));
        BindingRecord(folder, QStringLiteral(":5"), "A", 4001).remove();
        QVERIFY(!QFile::exists(crashed));
    }

    void onlyRuneboardsOwnKeysAreCleared_data() {
        QTest::addColumn<Bindings>("recorded");
        QTest::addColumn<QList<quint8>>("cleared");
        QTest::newRow("the layout's keys named by a planted record")
            << Bindings{{9, {0xff1b}},  {22, {0xff08}}, {36, {0xff0d}},
                        {37, {0xffe3}}, {50, {0xffe1}}, {65, {0x20}}}
            << QList<quint8>{};
        QTest::newRow("a leftover binding")
            << Bindings{{93, {aogonek}}, {98, {aogonek}}} << QList<quint8>{93};
        QTest::newRow("the newer of two symbols") << Bindings{{93, {eogonek, aogonek}}} << QList<quint8>{93};
        QTest::newRow("a symbol not recorded") << Bindings{{93, {eogonek}}} << QList<quint8>{};
        QTest::newRow("a key with two symbols") << Bindings{{96, {schwa, aogonek}}} << QList<quint8>{96};
        QTest::newRow("one of two symbols not recorded") << Bindings{{96, {aogonek}}} << QList<quint8>{};
        // ± is on the keypad as well, and letters are typed through spare keys like any other symbol.
        QTest::newRow("symbols the layout has too")
            << Bindings{{94, {plusminus}}, {98, {0x71}}} << QList<quint8>{94, 98};
        QTest::newRow("a key bound by xmodmap or xdotool") << Bindings{{99, {schwa}}} << QList<quint8>{};
        QTest::newRow("a modifier key") << Bindings{{95, {schwa}}} << QList<quint8>{};
    }

    void onlyRuneboardsOwnKeysAreCleared() {
        QFETCH(Bindings, recorded);
        QFETCH(QList<quint8>, cleared);
        using Types = std::array<quint8, 4>;
        constexpr Types own{alphabetic, alphabetic, alphabetic, alphabetic};
        const QHash<quint8, XkbKey> keys{
            {9, {1, 1, {}, {0xff1b}}},
            {22, {1, 2, {1}, {0xff08, 0xff08}}},
            {36, {1, 1, {}, {0xff0d}}},
            {37, {1, 1, {}, {0xffe3}}},
            {50, {1, 1, {}, {0xffe1}}},
            {65, {1, 1, {}, {0x20}}},
            {91, {1, 2, {4}, {0xffae, plusminus}}}, // the keypad's ±
            {24, {1, 2, {alphabetic}, {0x71, 0x51}}},
            // Shaped as Runeboard binds: one group, two equal levels, its type in every slot.
            {93, {1, 2, own, {aogonek, aogonek}}},
            {94, {1, 2, own, {plusminus, plusminus}}},
            {95, {1, 2, own, {schwa, schwa}}},
            {98, {1, 2, own, {0x71, 0x71}}},
            {96, {1, 2, own, {aogonek, schwa}}},
            // Not so shaped: a core request leaves the unused slots 0.
            {99, {1, 2, {alphabetic}, {schwa, schwa}}}};
        KeymapSnapshot keymap;
        keymap.modifiers[0] = {50};
        keymap.modifiers[2] = {37};
        keymap.modifiers[3] = {95};
        QCOMPARE(BindingRecord::keycodesToClear({{}, 1, recorded}, keymap, keys, alphabetic), cleared);
    }

    void recycledPidAndZombieDoNotCountAsRunning() {
        const qint64 self = QCoreApplication::applicationPid();
        QVERIFY(BindingRecord::processIsRunning(self, QCoreApplication::applicationFilePath()));
        QVERIFY(!BindingRecord::processIsRunning(self, QStringLiteral("/usr/bin/runeboard")));
        QVERIFY(!BindingRecord::processIsRunning(0, QCoreApplication::applicationFilePath()));
        // Killed, and not yet collected by its parent: a zombie.
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        const auto reap = qScopeGuard([child] { ::waitpid(child, nullptr, 0); });
        siginfo_t info{};
        QCOMPARE(::waitid(P_PID, id_t(child), &info, WEXITED | WNOWAIT), 0); // ended, still not collected
        QVERIFY(!BindingRecord::processIsRunning(child, QCoreApplication::applicationFilePath()));
    }

    void sessionProblems_data() {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<QByteArray>("sessionType");
        QTest::addColumn<QString>("problem");
        QTest::newRow("Wayland through XWayland") << "xcb" << QByteArray(":0") << QByteArray("wayland-0")
                                                  << QByteArray("wayland") << "typing_x11_programs_only";
        QTest::newRow("Wayland without X") << "wayland" << QByteArray() << QByteArray("wayland-0")
                                           << QByteArray("wayland") << "typing_wayland_no_x_display";
        QTest::newRow("Qt told to use another platform")
            << "offscreen" << QByteArray(":0") << QByteArray() << QByteArray() << "typing_qt_not_on_x11";
    }

    void sessionProblems() {
        QFETCH(QString, platform);
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, wayland);
        QFETCH(QByteArray, sessionType);
        QFETCH(QString, problem);
        QCOMPARE(X11Platform::sessionProblem(platform, display, wayland, sessionType).key, problem);
    }
};

QTEST_GUILESS_MAIN(TestX11Rules)
#include "tst_x11rules.moc"
