// Keys on a real X server. `runeboard --type`: what arrives in xterm, in a Qt
// line edit and in a GTK entry is exactly the text, with Shift held, with Caps
// Lock on, with a second layout group active and in a session that calls
// itself Wayland; without an X display it says why; the keymap is exactly as
// before afterwards (byte for byte), also after SIGTERM, and what a killed
// process or instance left is cleared by the next start, which leaves alone
// the keys it did not bind; a keymap replaced while typing is followed. The
// global hotkeys and the Shift monitor through the platform services the
// application uses (rb-hotkey-probe prints what reaches the callback): by
// physical key with lock keys on, with a second layout group active and after
// the modifier map changed, held down, and taken by another program.
#include "XSession.h"

#include <QDir>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

namespace {
// 110 symbols; 39 distinct ones that no key of the us layout carries, among them
// an astral symbol and a combining mark after a plain letter.
const QString sample = QStringLiteral("ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ əɛɔʃʒθðŋ ∑∫√∞≈≠ €£¥₸ αβγδ 𝔸 é e\u0301 ǅǈ abc");
const QString text = sample + sample;
const QStringList allHotkeys{QStringLiteral("hotkey K"), QStringLiteral("hotkey 1"),
                             QStringLiteral("hotkey 2"), QStringLiteral("hotkey 3")};

enum class Receiver { Xterm, LineEdit, GtkEntry };
// What else is going on while Runeboard types; WaylandSession: XDG_SESSION_TYPE says wayland
// (an X11 program under XWayland), which typing names and then goes on.
enum class Modifier { None, ShiftHeld, CapsLock, SecondGroup, WaylandSession };
} // namespace

class TestKeys : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
        QVERIFY2(QFileInfo(XSession::runeboardBinary()).isExecutable(), "RUNEBOARD_BINARY is not set");
    }

    void init() { m_out = m_session.scratchPath(QStringLiteral("typed-%1.txt").arg(++m_tests)); }

    void cleanup() {
        // One receiver at a time: the window manager hesitates to hand the focus to a new window otherwise.
        m_session.endPrograms();
        m_receiver.clear();
        m_gtkEntry = m_probe = nullptr;
        m_collectedInstance = nullptr;
        m_probeOutput.clear();
        if (m_instance > 0)
            ::kill(pid_t(std::exchange(m_instance, 0)), SIGKILL);
        if (std::exchange(m_keymapChanged, false)) {
            command(QStringLiteral("setxkbmap -layout us"));
            helper(QStringLiteral("lock-group 0"));
            // A failed row may have left records naming keys the fresh keymap no longer has bound.
            for (const QString& record : leftoverRecords())
                QFile::remove(m_session.runtimeDir() + QStringLiteral("/runeboard/") + record);
        }
    }

    void textArrivesExactlyAndTheKeymapIsLeftAsItWas_data() {
        QTest::addColumn<Receiver>("receiver");
        QTest::addColumn<Modifier>("modifier");
        const std::pair<const char*, Receiver> receivers[] = {
            {"xterm", Receiver::Xterm}, {"line edit", Receiver::LineEdit}, {"GTK entry", Receiver::GtkEntry}};
        for (const auto& [name, receiver] : receivers) {
            QTest::addRow("%s", name) << receiver << Modifier::None;
            QTest::addRow("%s, Shift held", name) << receiver << Modifier::ShiftHeld;
            QTest::addRow("%s, Caps Lock", name) << receiver << Modifier::CapsLock;
            if (receiver != Receiver::GtkEntry)
                QTest::addRow("%s, us,ru with ru active", name) << receiver << Modifier::SecondGroup;
        }
        QTest::newRow("line edit, a Wayland session") << Receiver::LineEdit << Modifier::WaylandSession;
    }

    void textArrivesExactlyAndTheKeymapIsLeftAsItWas() {
        QFETCH(Receiver, receiver);
        QFETCH(Modifier, modifier);
        QVERIFY(!startReceiver(receiver).isEmpty());
        QString before;
        if (modifier == Modifier::SecondGroup) {
            QVERIFY(switchToSecondGroup());
            // The Russian group is active: the key of f now types a Cyrillic a.
            QCOMPARE(helper(QStringLiteral("keys 41")), 0);
            before = QStringLiteral("а");
            QCOMPARE(XSession::waitForFileText(m_out, before), before);
        }
        const QString keymap = wholeKeymap();
        if (modifier == Modifier::ShiftHeld)
            m_session.xdotool(QStringLiteral("keydown shift"));
        if (modifier == Modifier::CapsLock)
            m_session.xdotool(QStringLiteral("key Caps_Lock"));

        QProcessEnvironment env = m_session.environment();
        if (modifier == Modifier::WaylandSession)
            env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        const XSession::Result result = type(text, env);

        if (modifier == Modifier::ShiftHeld)
            m_session.xdotool(QStringLiteral("keyup shift"));
        if (modifier == Modifier::CapsLock) {
            // Typing lifts Caps Lock only while a key is down: the user's lock is still on.
            const QString xset = m_session.run(QStringLiteral("xset"), {QStringLiteral("q")}).out;
            QVERIFY2(QRegularExpression(QStringLiteral("Caps Lock:\\s+on")).match(xset).hasMatch(),
                     qPrintable(xset));
            m_session.xdotool(QStringLiteral("key Caps_Lock"));
        }
        QVERIFY2(result.finished && result.exitCode == 0 &&
                     result.err.contains(QStringLiteral("X11 programs only")) ==
                         (modifier == Modifier::WaylandSession),
                 qPrintable(result.out + result.err));
        QCOMPARE(received(receiver, before + text), before + text);
        QCOMPARE(wholeKeymap(), keymap);
        QCOMPARE(leftoverRecords(), QStringList());
    }

    void typingEndedOrDisturbedLeavesNothingBound_data() {
        QTest::addColumn<int>("signal"); // 0: the keymap is replaced while typing instead
        QTest::newRow("SIGTERM: given back at once") << SIGTERM;
        QTest::newRow("SIGKILL: cleared by the next start") << SIGKILL;
        QTest::newRow("keymap replaced while typing: followed") << 0;
    }

    void typingEndedOrDisturbedLeavesNothingBound() {
        QFETCH(int, signal);
        QVERIFY(!startReceiver(Receiver::Xterm).isEmpty());
        QString keymap = wholeKeymap();
        // Each symbol twice: the second time it must be bound again if the keymap was replaced.
        const QString many = XSession::symbolsFrom(0x100, 0x80).repeated(2);
        QProcess* typing = m_session.launch(XSession::runeboardBinary(), {QStringLiteral("--type"), many});
        QVERIFY(XSession::waitFor([&] { return XSession::readFile(m_out).size() >= 10; }));
        QVERIFY(wholeKeymap() != keymap);
        if (signal)
            ::kill(pid_t(typing->processId()), signal);
        else // setxkbmap replaces the whole keymap, and with it every binding Runeboard had
            QVERIFY(switchToSecondGroup());
        QVERIFY(typing->waitForFinished(30000));
        if (signal == 0) {
            QCOMPARE(typing->exitCode(), 0);
            // What it left is exactly what a fresh us,ru keymap is.
            keymap = wholeKeymap();
            command(QStringLiteral("setxkbmap -layout us,ru"));
        } else if (signal == SIGTERM) {
            QCOMPARE(typing->exitCode(), 128 + SIGTERM);
            QTest::qWait(300);
            // What did arrive is the beginning of the text, nothing else.
            QVERIFY2(many.startsWith(XSession::readFile(m_out)), qPrintable(XSession::readFile(m_out)));
        } else {
            QVERIFY(wholeKeymap() != keymap);
            QCOMPARE(leftoverRecords().size(), 1);
            // Beside it, a record as a crash would have left it, but naming keys of the layout: Escape,
            // BackSpace, Return, Control_L, Shift_L and space. The next start must leave those alone.
            QVERIFY(plantRecord(QStringLiteral(R"("9":[65307],"22":[65288],"36":[65293],"37":[65507],)"
                                               R"("50":[65505],"65":[32])")));
            QCOMPARE(type(QStringLiteral("ok")).exitCode, 0);
        }
        QCOMPARE(wholeKeymap(), keymap);
        QCOMPARE(leftoverRecords(), QStringList());
    }

    void killedInstanceLeavesNothingOnceAnotherHasStarted_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("whileTyping"); // or once the whole text has arrived
        QTest::addColumn<bool>(
            "collected"); // the dead instance collected by its parent before the next starts
        QTest::addColumn<QString>(
            "userKey"); // set by the user before with xmodmap, and named by a planted record
        QTest::newRow("killed while typing, restarted before its parent collects it")
            << XSession::symbolsFrom(0x4e00, 3000) << true << false << QString();
        // The keypad carries ± too; letters and digits are typed through spare keys like any other symbol.
        QTest::newRow("killed after symbols the layout has too")
            << QStringLiteral("±QWERTY zy123") << false << true << QString();
        // Shaped as bindings were once recognised: one group, two equal levels, Shift and Caps Lock consumed.
        QTest::newRow("a planted record naming a key the user bound")
            << QStringLiteral("ą") << false << true << QStringLiteral("keycode 93 = U4E00 U4E00");
    }

    void killedInstanceLeavesNothingOnceAnotherHasStarted() {
        QFETCH(QString, text);
        QFETCH(bool, whileTyping);
        QFETCH(bool, collected);
        QFETCH(QString, userKey);
        m_keymapChanged = true; // whatever a failure leaves bound is cleared for the next row
        QVERIFY(!startReceiver(Receiver::Xterm).isEmpty());
        if (!userKey.isEmpty()) {
            QCOMPARE(m_session.run(QStringLiteral("xmodmap"), {QStringLiteral("-e"), userKey}).exitCode, 0);
        }
        const QString before = wholeKeymap();
        const qint64 instance = startInstance(collected);
        QVERIFY(instance > 0 && waitForInstance());
        QProcess* typing = m_session.launch(XSession::runeboardBinary(), {QStringLiteral("--type"), text});
        if (whileTyping)
            QVERIFY(XSession::waitFor([&] { return XSession::readFile(m_out).size() >= 10; }));
        else
            QCOMPARE(XSession::waitForFileText(m_out, text), text);
        QVERIFY(wholeKeymap() != before);
        ::kill(pid_t(instance), SIGKILL);
        if (collected) {
            QVERIFY(m_collectedInstance->waitForFinished(10000));
        } else {
            QVERIFY(XSession::waitFor([&] {
                const QString stat = XSession::readFile(QStringLiteral("/proc/%1/stat").arg(instance));
                return stat.section(u')', -1).trimmed().startsWith(u'Z');
            }));
        }
        QVERIFY(XSession::waitFor([&] { return typing->state() == QProcess::NotRunning; }));
        if (!userKey.isEmpty())
            QVERIFY(plantRecord(QStringLiteral(R"("93":[%1])").arg(0x1004e00))); // U4E00

        QProcess* next = m_session.launch(XSession::runeboardBinary(), {});
        QVERIFY(waitForInstance());
        const XSession::Result typed = type(QStringLiteral("ok"));
        QVERIFY2(typed.exitCode == 0, qPrintable(typed.err));
        QCOMPARE(m_session.run(XSession::runeboardBinary(), {QStringLiteral("--quit")}).exitCode, 0);
        QVERIFY(next->waitForFinished(10000));
        QCOMPARE(wholeKeymap(), before);
        QCOMPARE(leftoverRecords(), QStringList());
    }

    // Without an instance each --type binds spare keycodes of its own: the second waits for the first.
    void twoTypeCommandsAtOnceTakeTurns() {
        QVERIFY(!startReceiver(Receiver::Xterm).isEmpty());
        const QString first = QStringLiteral("ąćęłńóśźżĄĆĘŁŃÓŚŹŻəɛɔʃʒθðŋ");
        const QString second = QStringLiteral("∑∫√∞≈≠€£¥₸αβγδεζηλμπσφψω");
        const QString keymap = wholeKeymap();
        QProcess* a = m_session.launch(XSession::runeboardBinary(), {QStringLiteral("--type"), first});
        QProcess* b = m_session.launch(XSession::runeboardBinary(), {QStringLiteral("--type"), second});
        QVERIFY(XSession::waitFor(
            [&] { return a->state() == QProcess::NotRunning && b->state() == QProcess::NotRunning; }, 30000));
        QVERIFY2(a->exitCode() == 0 && b->exitCode() == 0,
                 qPrintable(QString::fromUtf8(a->readAllStandardError() + b->readAllStandardError())));
        const QString got = XSession::waitForFileText(m_out, first + second);
        QVERIFY2(got == first + second || got == second + first, qPrintable(got));
        QCOMPARE(wholeKeymap(), keymap);
    }

    void eachHotkeyFiresByItsPhysicalKey_data() {
        QTest::addColumn<QString>("lockKey");
        QTest::addColumn<QStringList>("change"); // made once the hotkeys are registered
        QTest::addColumn<bool>("secondGroup");
        QTest::newRow("no lock key") << QString() << QStringList() << false;
        QTest::newRow("Caps Lock on") << QStringLiteral("Caps_Lock") << QStringList() << false;
        QTest::newRow("Num Lock on") << QStringLiteral("Num_Lock") << QStringList() << false;
        // The grabs must be renewed for the lock's new modifier.
        QTest::newRow("Num Lock moved to Mod3, on")
            << QStringLiteral("Num_Lock")
            << QStringList{QStringLiteral("xmodmap"), QStringLiteral("-e"), QStringLiteral("clear mod2"),
                           QStringLiteral("-e"), QStringLiteral("add mod3 = Num_Lock")}
            << false;
        QTest::newRow("us,ru with ru active") << QString() << QStringList() << true;
    }

    void eachHotkeyFiresByItsPhysicalKey() {
        QFETCH(QString, lockKey);
        QFETCH(QStringList, change);
        QFETCH(bool, secondGroup);
        QVERIFY(startProbe());
        if (!change.isEmpty() || secondGroup) {
            m_keymapChanged = true;
            QVERIFY(secondGroup ? switchToSecondGroup()
                                : m_session.run(change.first(), change.mid(1)).exitCode == 0);
            QTest::qWait(300); // the probe learns of the change from its event loop
        }
        if (!lockKey.isEmpty())
            m_session.xdotool(QStringLiteral("key ") + lockKey);
        // As the user presses them, whatever the layout: Alt_L (64), Shift_L (50), then K (45) or 1, 2, 3.
        for (const char* key : {"45", "10", "11", "12"})
            QCOMPARE(helper(QStringLiteral("keys 64 50 ") + QLatin1String(key)), 0);
        const bool arrived = XSession::waitFor([&] { return activations().size() >= 4; });
        if (!lockKey.isEmpty())
            m_session.xdotool(QStringLiteral("key ") + lockKey);
        QVERIFY(arrived);
        QCOMPARE(activations(), allHotkeys);
    }

    void heldCombinationFiresOnce() {
        QVERIFY(startProbe());
        m_session.xdotool(QStringLiteral("keydown alt+shift+k"));
        QTest::qWait(1500); // well past the server's auto-repeat delay
        m_session.xdotool(QStringLiteral("keyup alt+shift+k"));
        m_session.xdotool(QStringLiteral("key alt+shift+1"));
        QVERIFY(XSession::waitFor([&] { return activations().contains(QStringLiteral("hotkey 1")); }));
        QCOMPARE(activations(), allHotkeys.mid(0, 2));
    }

    void combinationTakenByAnotherProgramIsReportedAndTheOthersWork() {
        // Alt+Shift+K: keycode 45 with Shift (1) and Mod1 (8).
        QProcess* grabber =
            m_session.launch(XSession::toolPath(QStringLiteral("rb-x11-helper")),
                             {QStringLiteral("grab"), QStringLiteral("45"), QStringLiteral("9")});
        QVERIFY(XSession::waitFor([&] { return grabber->canReadLine() || grabber->waitForReadyRead(50); }));
        QCOMPARE(grabber->readLine().trimmed(), QByteArray("grabbed"));

        QVERIFY(startProbe());
        QVERIFY(lines().contains(
            QStringLiteral("[GlobalHotkeyManager] Failed to register hotkey 'K': status 10")));
        for (const char* combination : {"alt+shift+k", "alt+shift+1", "alt+shift+2", "alt+shift+3"})
            m_session.xdotool(QStringLiteral("key ") + QLatin1String(combination));
        QVERIFY(XSession::waitFor([&] { return activations().size() >= 3; }));
        QTest::qWait(200);
        QCOMPARE(activations(), allHotkeys.mid(1));
        QCOMPARE(m_probe->state(), QProcess::Running);
    }

    void shiftIsFollowedWhateverHasTheFocus() {
        QVERIFY(!startReceiver(Receiver::Xterm).isEmpty());
        QVERIFY(startProbe());
        QVERIFY(XSession::waitFor([&] { return lines().contains(QStringLiteral("shift 0")); }));
        m_session.xdotool(QStringLiteral("keydown shift"));
        QVERIFY(XSession::waitFor([&] { return lines().endsWith(QStringLiteral("shift 1")); }));
        m_session.xdotool(QStringLiteral("keyup shift"));
        QVERIFY(XSession::waitFor([&] { return lines().endsWith(QStringLiteral("shift 0")); }));
    }

private:
    XSession::Result type(const QString& what, const QProcessEnvironment& env = {}) {
        return m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), what}, 30000, env);
    }

    // The whole keymap: the core mapping as text, then XKB's map byte for byte.
    QString wholeKeymap() {
        return m_session.keymap() +
               m_session.run(XSession::toolPath(QStringLiteral("rb-x11-helper")), {QStringLiteral("xkb-map")})
                   .out;
    }

    // A record of bound keycodes as a crash would have left it, naming what the caller likes.
    bool plantRecord(const QString& keycodes) {
        const QString server =
            m_session.xprop({}, QStringLiteral("_RUNEBOARD_SERVER_ID")).section(u'"', 1, 1);
        QFile planted(m_session.runtimeDir() + QStringLiteral("/runeboard/keymap-99999.json"));
        if (server.isEmpty() || !planted.open(QIODevice::WriteOnly))
            return false;
        planted.write(
            QStringLiteral(R"({"display":"%1","server":"%2","pid":99999,"program":"/usr/bin/runeboard",)"
                           R"("keycodes":{%3}})")
                .arg(m_session.display(), server, keycodes)
                .toUtf8());
        return true;
    }

    // Starts an instance and returns its pid. Unless `collected`, its parent never collects
    // it once it has died (as a script may do), so it stays a zombie.
    qint64 startInstance(bool collected) {
        if (collected) {
            m_collectedInstance = m_session.launch(XSession::runeboardBinary(), {});
            return m_collectedInstance->processId();
        }
        QProcess* parent = m_session.launch(
            QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("\"$0\" & echo $!; exec sleep 600"),
                                   XSession::runeboardBinary()});
        if (!XSession::waitFor([&] { return parent->canReadLine(); }))
            return 0;
        m_instance = parent->readLine().trimmed().toLongLong();
        return m_instance;
    }

    // Waits until an instance listens.
    bool waitForInstance() {
        const QString socket = m_session.runtimeDir() +
                               QStringLiteral("/runeboard/display_%1.socket").arg(m_session.display().mid(1));
        return XSession::waitFor(
            [&] {
                QLocalSocket connection;
                connection.connectToServer(socket);
                return connection.waitForConnected(100);
            },
            15000);
    }

    QString startReceiver(Receiver receiver) {
        if (receiver == Receiver::Xterm)
            m_receiver = m_session.startXtermReceiver(m_out);
        else if (receiver == Receiver::LineEdit)
            m_receiver = m_session.startLineEditReceiver(m_out);
        else
            m_gtkEntry = m_session.startGtkEntryReceiver(&m_receiver);
        return m_receiver;
    }

    QString received(Receiver receiver, const QString& expected) {
        if (receiver != Receiver::GtkEntry)
            return XSession::waitForFileText(m_out, expected);
        // Return comes after every typed key in the server's queue, so the entry has them all when it ends.
        m_session.xdotool(QStringLiteral("key Return"));
        if (!XSession::waitFor([&] { return m_gtkEntry->state() == QProcess::NotRunning; }))
            return QStringLiteral("(the GTK entry did not end)");
        return QString::fromUtf8(m_gtkEntry->readAllStandardOutput()).section(u'\n', 0, 0);
    }

    QStringList leftoverRecords() const {
        return QDir(m_session.runtimeDir() + QStringLiteral("/runeboard")).entryList(QDir::Files);
    }

    // The exit code of rb-x11-helper, or of a program, given their words.
    int helper(const QString& arguments) {
        return m_session.run(XSession::toolPath(QStringLiteral("rb-x11-helper")), XSession::words(arguments))
            .exitCode;
    }
    int command(const QString& line) {
        const QStringList words = XSession::words(line);
        return m_session.run(words.first(), words.mid(1)).exitCode;
    }

    bool switchToSecondGroup() {
        m_keymapChanged = true;
        return command(QStringLiteral("setxkbmap -layout us,ru")) == 0 &&
               helper(QStringLiteral("lock-group 1")) == 0;
    }

    // Starts the probe and waits until it has registered the hotkeys.
    bool startProbe() {
        m_probe = m_session.launch(XSession::toolPath(QStringLiteral("rb-hotkey-probe")), {});
        return XSession::waitFor([&] { return lines().contains(QStringLiteral("ready")); });
    }

    QStringList lines() {
        if (m_probe)
            m_probeOutput += QString::fromUtf8(m_probe->readAllStandardOutput());
        return m_probeOutput.split(u'\n', Qt::SkipEmptyParts);
    }

    // The probe's lines that report activations, in order.
    QStringList activations() { return lines().filter(QRegularExpression(QStringLiteral("^hotkey "))); }

    XSession m_session;
    int m_tests = 0;
    QString m_out;
    QString m_receiver;
    QProcess* m_gtkEntry = nullptr;
    QProcess* m_probe = nullptr;
    QString m_probeOutput;
    bool m_keymapChanged = false;
    qint64 m_instance = 0; // started uncollected
    QProcess* m_collectedInstance = nullptr;
};

QTEST_GUILESS_MAIN(TestKeys)
#include "e2e_keys.moc"
