// Runeboard on GNOME on Wayland (a headless GNOME Shell 43 with Runeboard's
// extension): what `runeboard --type` types arrives exactly in a GTK 4 and a
// GTK 3 entry (the shell's input method), a Qt line edit on Wayland (pasted)
// and an xterm (the X11 engine); twenty fast clicks on the panel arrive in
// order with the focus kept and the clipboard as it was; Shift held on the
// keyboard makes a click type upper case; the toggle hotkey fires over a
// Wayland window; the add field takes the typing and gives the focus back;
// the extension turned on while Runeboard runs serves it at once; a symbol
// with nowhere to go is said; and a program other than Runeboard is refused.
#include "DesktopHotkeyChecks.h"
#include "DesktopPanel.h"
#include "GnomeSession.h"

#include <QImage>
#include <QTest>

namespace {
const QString service = QStringLiteral("org.runeboard.Runeboard.GnomeShell");
const QString extensionUuid = QStringLiteral("typing@runeboard.org");
using DesktopHotkeyChecks::keyK;
using DesktopHotkeyChecks::keyLeftAlt;
using DesktopHotkeyChecks::keyLeftShift;
using DesktopHotkeyChecks::panelTitle;
using DesktopPanel::text;
const QStringList& panelKeys = DesktopPanel::keys;

enum class Receiver { Gtk4, Gtk3, QtWayland, Xterm };
} // namespace

class TestGnome : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
    }
    void cleanup() { m_session.endPrograms(); }

    void typedTextArrivesExactly_data() {
        QTest::addColumn<Receiver>("receiver");
        QTest::newRow("GTK 4") << Receiver::Gtk4;
        QTest::newRow("GTK 3") << Receiver::Gtk3;
        QTest::newRow("Qt on Wayland") << Receiver::QtWayland;
        QTest::newRow("xterm on Xwayland") << Receiver::Xterm;
    }
    void typedTextArrivesExactly() {
        QFETCH(Receiver, receiver);
        const QString out = m_session.scratchPath(QStringLiteral("typed-%1.txt").arg(int(receiver)));
        QVERIFY(start(receiver, out));
        const XSession::Result result =
            m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), text});
        QVERIFY2(result.finished && result.exitCode == 0, qPrintable(result.out + result.err));
        QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
        QCOMPARE(XSession::waitForFileText(out, text), text);
    }

    void panelClicksArriveInOrder_data() {
        QTest::addColumn<Receiver>("receiver");
        QTest::newRow("GTK 4") << Receiver::Gtk4;
        QTest::newRow("Qt on Wayland, pasted") << Receiver::QtWayland;
    }
    void panelClicksArriveInOrder() {
        QFETCH(Receiver, receiver);
        // What the user copied last stays theirs.
        const QString copied = QStringLiteral("copied before: ŋ 😀");
        QVERIFY(m_session.startGtkEntry(4, m_session.scratchPath(QStringLiteral("copier.txt")), copied));
        QVERIFY(XSession::waitFor([&] { return m_session.clipboardText() == copied; }));
        const QString out = m_session.scratchPath(QStringLiteral("clicks-%1.txt").arg(int(receiver)));
        QVERIFY(start(receiver, out));
        const QString title = m_session.focus().title;
        QVERIFY(m_runeboard.start());

        QList<QPoint> points;
        for (const QString& key : panelKeys)
            points.append(m_runeboard.keyCentre(key));
        QVERIFY(m_session.click(points));
        const QString all = panelKeys.join(QString());
        QCOMPARE(XSession::waitForFileText(out, all, 20000), all);
        QCOMPARE(m_session.focus().title, title);
        QVERIFY(XSession::waitFor([&] { return m_session.clipboardText() == copied; }));
    }

    void shiftHeldTypesUpperCase_data() { panelClicksArriveInOrder_data(); }
    void shiftHeldTypesUpperCase() {
        QFETCH(Receiver, receiver);
        const QString out = m_session.scratchPath(QStringLiteral("shift-%1.txt").arg(int(receiver)));
        QVERIFY(start(receiver, out));
        QVERIFY(m_runeboard.start());
        const QString panel = m_session.findWindowByName(panelTitle);
        const QString before = m_session.scratchPath(QStringLiteral("panel-before.png"));
        QVERIFY(shoot(before, panel));
        QVERIFY(m_session.keys({keyLeftShift}, {}));
        // The keys show upper case once Runeboard has heard of Shift.
        const QString held = m_session.scratchPath(QStringLiteral("panel-held.png"));
        QVERIFY(
            XSession::waitFor([&] { return shoot(held, panel) && QImage(held) != QImage(before); }, 10000));
        QVERIFY(m_session.click({m_runeboard.keyCentre(QStringLiteral("ŋ"))}));
        QCOMPARE(XSession::waitForFileText(out, QStringLiteral("Ŋ")), QStringLiteral("Ŋ"));
        QVERIFY(m_session.keys({}, {keyLeftShift}));
        QVERIFY(
            XSession::waitFor([&] { return shoot(held, panel) && QImage(held) == QImage(before); }, 10000));
        QVERIFY(m_session.click({m_runeboard.keyCentre(QStringLiteral("ŋ"))}));
        QCOMPARE(XSession::waitForFileText(out, QStringLiteral("Ŋŋ")), QStringLiteral("Ŋŋ"));
    }

    void toggleHotkeyFiresOverAWaylandWindowAndFollowsRecording() {
        DesktopHotkeyChecks::toggleFollowsRecording(m_session, startReceiver(), startRuneboardFor());
    }

    void digitHotkeysSwitchSets() {
        DesktopHotkeyChecks::digitsSwitchSets(m_session, startReceiver(), startRuneboardFor());
    }

    void addFieldTakesTheTypingAndGivesTheFocusBack() {
        const QString out = m_session.scratchPath(QStringLiteral("field.txt"));
        QVERIFY(start(Receiver::Gtk4, out));
        const QString receiver = m_session.focus().title;
        QVERIFY(m_runeboard.start());
        QVERIFY(m_session.click({m_runeboard.elementCentre(KeyboardElementKind::AddKey)}));
        // The field opens in a window of its own, which the shell focuses; the keyboard types there.
        QVERIFY(XSession::waitFor([&] { return m_session.focus().title == QLatin1String("Add Symbol"); }));
        constexpr uint keyQ = 16, keyReturn = 28;
        QVERIFY(m_session.keys({keyQ}, {keyQ}));
        QVERIFY(m_session.keys({keyReturn}, {keyReturn}));
        KeyboardLayoutInput in;
        in.baseSymbols = panelKeys;
        in.customSymbols = {QStringLiteral("q")};
        const int grown = int(KeyboardLayout::compute(in).size().height());
        QVERIFY(XSession::waitFor(
            [&] { return m_session.windowGeometry(m_session.findWindowByName(panelTitle)).at(3) == grown; }));
        QVERIFY(XSession::waitFor([&] { return m_session.focus().title == receiver; }));
        QCOMPARE(XSession::readFile(out), QString());
    }

    void anExtensionThatComesBackServesAtOnce() {
        const auto extension = [&](const char* verb) {
            return m_session.run(QStringLiteral("gnome-extensions"), {QLatin1String(verb), extensionUuid})
                .exitCode;
        };
        QCOMPARE(extension("disable"), 0);
        const QString out = m_session.scratchPath(QStringLiteral("back.txt"));
        QVERIFY(start(Receiver::Gtk4, out));
        QVERIFY(m_runeboard.start());
        QVERIFY(XSession::waitFor(
            [&] { return m_runeboard.said().contains(QLatin1String("extension is turned off")); }));
        // Turned on while Runeboard runs (as Settings' Turn On does when the shell knows it already).
        QCOMPARE(extension("enable"), 0);
        QVERIFY(XSession::waitFor(
            [&] { return m_runeboard.said().contains(QLatin1String("extension answers")); }));
        const XSession::Result typed =
            m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), QStringLiteral("ŋ")});
        QCOMPARE(typed.exitCode, 0);
        QCOMPARE(XSession::waitForFileText(out, QStringLiteral("ŋ")), QStringLiteral("ŋ"));
        // The hotkeys went back to the extension too.
        QVERIFY(m_session.keys({keyLeftAlt, keyLeftShift, keyK}, {keyK, keyLeftShift, keyLeftAlt}));
        QVERIFY(XSession::waitFor([&] { return m_session.findWindowByName(panelTitle).isEmpty(); }));
    }

    void withoutAFocusedWindowNothingIsTypedAndThatIsSaid() {
        QVERIFY(XSession::waitFor([&] { return m_session.focus().title.isEmpty(); }));
        const XSession::Result typed =
            m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), QStringLiteral("ŋə")});
        QCOMPARE(typed.exitCode, 1);
        QVERIFY2(typed.out.contains(QLatin1String("no window has the keyboard focus")),
                 qPrintable(typed.out));
    }

    void otherProgramsAreRefused_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("typing") << QStringLiteral("Commit") << QStringList{QStringLiteral("rm -rf ~\n")};
        QTest::newRow("a guessed secret") << QStringLiteral("Claim") << QStringList{QString(64, u'0')};
    }
    void otherProgramsAreRefused() {
        QFETCH(QString, method);
        QFETCH(QStringList, arguments);
        // Runeboard runs and has claimed the service: that gives nobody else a way in. Every method
        // but Claim refuses the same way.
        QVERIFY(m_runeboard.start());
        const XSession::Result call =
            m_session.gdbus(QStringList{QStringLiteral("call"), QStringLiteral("--session"),
                                        QStringLiteral("--dest"), service, QStringLiteral("--object-path"),
                                        QStringLiteral("/org/runeboard/Runeboard/GnomeShell"),
                                        QStringLiteral("--method"), service + u'.' + method} +
                            arguments);
        QVERIFY2(call.exitCode != 0 && call.err.contains(QLatin1String("AccessDenied")),
                 qPrintable(call.out + call.err));
    }

private:
    DesktopHotkeyChecks::StartReceiver startReceiver() {
        return [this](bool xterm, const QString& out) {
            return start(xterm ? Receiver::Xterm : Receiver::Gtk4, out);
        };
    }
    DesktopHotkeyChecks::StartRuneboard startRuneboardFor() {
        return [this](const QString& preset) { return m_runeboard.start(preset); };
    }
    bool start(Receiver receiver, const QString& out) {
        if (receiver == Receiver::Gtk4 || receiver == Receiver::Gtk3)
            return m_session.startGtkEntry(receiver == Receiver::Gtk4 ? 4 : 3, out);
        return receiver == Receiver::Xterm ? m_session.startXterm(out) : m_session.startLineEdit(out);
    }

    // The panel as Xwayland holds it (Qt would otherwise grab through Wayland, which allows no grabs).
    bool shoot(const QString& png, const QString& window) {
        QProcessEnvironment env = m_session.environment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return m_session.run(XSession::toolPath(QStringLiteral("rb-screenshot")), {png, window}, 30000, env)
                   .exitCode == 0;
    }

    GnomeSession m_session;
    DesktopPanel::Runeboard<GnomeSession> m_runeboard{m_session};
};

QTEST_GUILESS_MAIN(TestGnome)
#include "e2e_gnome.moc"
