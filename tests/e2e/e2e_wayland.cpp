// Runeboard on a wlroots compositor (a headless sway with Xwayland): what
// `runeboard --type` types arrives exactly in foot, in a Qt Wayland line edit
// and in a Qt Xwayland line edit, the first symbol of a fresh process
// included; a click on the panel types into foot, which keeps the focus, upper
// case after the panel's own Shift key; the add field opens in a window of its
// own that takes the typing; and the running instance answers --type, --set
// and --toggle as the compositor's key bindings call them.
#include "GermanPanel.h"
#include "SwaySession.h"

#include <QTest>

namespace {
// 110 symbols; 39 distinct ones that no key of the us layout carries, among them
// an astral symbol and a combining mark after a plain letter. It starts with one of them.
const QString sample = QStringLiteral("ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ əɛɔʃʒθðŋ ∑∫√∞≈≠ €£¥₸ αβγδ 𝔸 é e\u0301 ǅǈ abc");
const QString text = sample + sample;
const QString panelTitle = QStringLiteral("Runeboard Keyboard");

enum class Receiver { Foot, QtWayland, QtXwayland };
} // namespace

class TestWayland : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
    }
    void cleanup() { m_session.endPrograms(); }

    void typedTextArrivesExactly_data() {
        QTest::addColumn<Receiver>("receiver");
        QTest::newRow("foot") << Receiver::Foot;
        QTest::newRow("Qt on Wayland") << Receiver::QtWayland;
        QTest::newRow("Qt on Xwayland") << Receiver::QtXwayland;
    }
    void typedTextArrivesExactly() {
        QFETCH(Receiver, receiver);
        const QString out = m_session.scratchPath(QStringLiteral("typed-%1.txt").arg(int(receiver)));
        QVERIFY(receiver == Receiver::Foot ? m_session.startFoot(out)
                                           : m_session.startLineEdit(out, receiver == Receiver::QtXwayland));
        const XSession::Result result =
            m_session.run(XSession::runeboardBinary(), {QStringLiteral("--type"), text});
        QVERIFY2(result.finished && result.exitCode == 0, qPrintable(result.out + result.err));
        // The keyboard types into every program here: no word about X11 or permissions.
        QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
        QCOMPARE(XSession::waitForFileText(out, text), text);
    }

    void runningInstanceTypesAndFollowsTheCompositorsBindings() {
        const QString second = prepareConfiguration();
        const QString out = m_session.scratchPath(QStringLiteral("panel.txt"));
        QVERIFY(m_session.startFoot(out));
        QProcess* runeboard = startPanel();
        QVERIFY(runeboard);
        QCOMPARE(m_session.focusedWindow(), QStringLiteral("receiver-foot"));
        const KeyboardElement* o = m_layout.key(QStringLiteral("ö"), false);

        // A click on a key types into foot, and foot keeps the focus.
        QVERIFY(click(o));
        QCOMPARE(XSession::waitForFileText(out, QStringLiteral("ö")), QStringLiteral("ö"));
        QCOMPARE(m_session.focusedWindow(), QStringLiteral("receiver-foot"));

        // Shift latches the next symbol only; a double click locks it until clicked again.
        const KeyboardElement* shift = m_layout.element(KeyboardElementKind::ShiftKey);
        for (const KeyboardElement* e :
             {shift, o, o, shift, shift, m_layout.key(QStringLiteral("ß"), false), o, shift})
            QVERIFY(click(e));
        QCOMPARE(XSession::waitForFileText(out, QStringLiteral("öÖöSSÖ")), QStringLiteral("öÖöSSÖ"));
        QCOMPARE(m_session.focusedWindow(), QStringLiteral("receiver-foot"));

        // The add field opens in a window of its own, which the compositor focuses; the typing
        // goes there, and once the field closes foot has the focus again.
        QVERIFY(click(m_layout.element(KeyboardElementKind::AddKey)));
        QVERIFY(XSession::waitFor([&] { return m_session.focusedWindow() == QLatin1String("Runeboard"); }));
        QCOMPARE(ask(QStringLiteral("--type ŋ\n")), 0);
        const QSizeF grown = germanLayout({QStringLiteral("ŋ")}, false, true).size();
        QVERIFY(XSession::waitFor([&] {
            return panelGeometry().mid(2) == QList<int>{int(grown.width()), int(grown.height())};
        }));
        QVERIFY(
            XSession::waitFor([&] { return m_session.focusedWindow() == QLatin1String("receiver-foot"); }));

        QCOMPARE(ask(QStringLiteral("--type 𝔸ŋ")), 0);
        QCOMPARE(XSession::waitForFileText(out, QStringLiteral("öÖöSSÖ𝔸ŋ")), QStringLiteral("öÖöSSÖ𝔸ŋ"));

        QCOMPARE(ask(QStringLiteral("--set 2")), 0);
        QVERIFY(XSession::waitFor([&] {
            return SettingsStore(m_session.configHome() + QStringLiteral("/runeboard/runeboard.conf"))
                       .text(SettingKey::ActiveSetId) == second;
        }));
        QCOMPARE(ask(QStringLiteral("--toggle")), 0);
        QVERIFY(XSession::waitFor([&] { return panelGeometry().at(2) < 0; }));
        QCOMPARE(ask(QStringLiteral("--toggle")), 0);
        QVERIFY(XSession::waitFor([&] { return panelGeometry().at(2) > 0; }));

        // The launch check has nothing to warn about; the bindings to add are said instead.
        QCOMPARE(ask(QStringLiteral("--quit")), 0);
        QVERIFY(runeboard->waitForFinished(10000));
        m_said += QString::fromUtf8(runeboard->readAllStandardOutput());
        QVERIFY2(m_said.contains(u"bindsym Mod1+Shift+k exec runeboard --toggle\n") &&
                     m_said.contains(u"bindsym Mod1+Shift+2 exec runeboard --set 2\n") &&
                     !m_said.contains(u"Accessibility"),
                 qPrintable(m_said));
    }

    // With an X11 program focused, Xwayland hands Runeboard the keyboard state as well: the panel's
    // own Shift key still counts from the first click.
    void shiftKeyCountsFromTheFirstClickOverXwayland() {
        QFile::remove(m_session.configHome() + QStringLiteral("/runeboard/runeboard.conf"));
        prepareConfiguration();
        const QString out = m_session.scratchPath(QStringLiteral("xwayland-shift.txt"));
        QVERIFY(m_session.startLineEdit(out, true));
        QProcess* runeboard = startPanel();
        QVERIFY(runeboard);
        QVERIFY(click(m_layout.element(KeyboardElementKind::ShiftKey)));
        QVERIFY(click(m_layout.key(QStringLiteral("ö"), false)));
        QCOMPARE(XSession::waitForFileText(out, QStringLiteral("Ö")), QStringLiteral("Ö"));
        QCOMPARE(m_session.focusedWindow(), QStringLiteral("rb-line-edit-receiver"));
        QCOMPARE(ask(QStringLiteral("--quit")), 0);
        QVERIFY(runeboard->waitForFinished(10000));
    }

    // Started too early, as an autostart entry may be, Runeboard says the compositor is not there yet,
    // soon, whatever is asked of it.
    void absentCompositorIsSaidSoon_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::newRow("--type") << QStringList{QStringLiteral("--type"), QStringLiteral("ą")} << 2;
        QTest::newRow("start") << QStringList() << 1;
    }
    void absentCompositorIsSaidSoon() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QProcessEnvironment env = m_session.environment();
        // Before the compositor has started, its socket and Xwayland's display are not there yet.
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-not-yet"));
        env.remove(QStringLiteral("DISPLAY"));
        const XSession::Result result = m_session.run(XSession::runeboardBinary(), arguments, 15000, env);
        QVERIFY2(result.finished, "still waiting for the compositor after 15 s");
        QCOMPARE(result.exitCode, status);
        const QString all = result.out + result.err;
        QVERIFY2(all.contains(QStringLiteral("cannot be reached")) &&
                     !all.contains(QStringLiteral("X11 session")),
                 qPrintable(all));
    }

private:
    // The German preset as the main set, Polish as the first additional one; returns Polish's id.
    QString prepareConfiguration() {
        const QString polish = chooseGermanPreset(m_session.configHome(), {QStringLiteral("preset_polish")});
        m_session.handOver(m_session.configHome());
        return polish;
    }

    // Starts Runeboard and waits for its panel: the German keys and the panel's own Shift key (no
    // client here sees the Shift key held). Null when it does not show.
    QProcess* startPanel() {
        QProcess* runeboard = m_session.launch(XSession::runeboardBinary(), {});
        m_said.clear();
        // The tray is looked for once the panel has been drawn; only then is it on the screen to click.
        const bool drawn = XSession::waitFor(
            [&] {
                return (m_said += QString::fromUtf8(runeboard->readAllStandardOutput()))
                    .contains(u"[TrayMenu]");
            },
            20000);
        return drawn && XSession::waitFor(
                            [&] { return (m_panel = panelGeometry()).at(2) == m_layout.size().width(); })
                   ? runeboard
                   : nullptr;
    }
    // Runeboard's exit status for this command line.
    int ask(const QString& commandLine) {
        return m_session.run(XSession::runeboardBinary(), XSession::words(commandLine)).exitCode;
    }
    bool click(const KeyboardElement* element) {
        const QPointF p = m_layout.toView(element->frame).center();
        return m_session.click(m_panel[0] + int(p.x()), m_panel[1] + int(p.y()));
    }

    // The visible panel's geometry in the output's coordinates; all -1 while none is visible.
    QList<int> panelGeometry() { return m_session.windowGeometry(m_session.findWindowByName(panelTitle)); }

    SwaySession m_session;
    const KeyboardLayout m_layout = germanLayout({}, false, true);
    QList<int> m_panel; // x, y, width, height
    QString m_said;     // Runeboard's output
};

QTEST_GUILESS_MAIN(TestWayland)
#include "e2e_wayland.moc"
