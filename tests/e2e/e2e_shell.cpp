// The application shell on a real X server with a real window manager: where
// the panel appears and what the window manager is told; a German compact
// panel whose keys type into the xterm that keeps the focus; the add field
// that takes the typing from the real keyboard and gives the focus back after
// the commit; the new key and the panel's place kept over a restart; hide and
// show; one instance per display answering the commands of a second `runeboard`.
#include "GermanPanel.h"
#include "XSession.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>

namespace {
const QString panelTitle = QStringLiteral("Runeboard Keyboard");
const QString wmClass = QStringLiteral("WM_CLASS(STRING) = \"runeboard\", \"Runeboard\"");
const QString everyDesktop = QStringLiteral("_NET_WM_DESKTOP(CARDINAL) = 4294967295");
// Inside the compact card, left of the keys: a press here moves the panel.
const QPoint cardBackground(25, 45);
const QString eng = QStringLiteral("ŋ");
} // namespace

class TestShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
        QVERIFY2(QFileInfo(XSession::runeboardBinary()).isExecutable(), "RUNEBOARD_BINARY is not set");
    }

    void init() {
        // A fresh configuration for every test: first start, nothing remembered.
        QDir(m_session.configHome()).removeRecursively();
        QDir().mkpath(m_session.configHome());
        m_env = m_session.environment();
        m_typed = m_session.scratchPath(QStringLiteral("typed-%1.txt").arg(QTest::currentTestFunction()));
        m_xterm = m_session.startXtermReceiver(m_typed);
        QVERIFY(!m_xterm.isEmpty());
    }

    void cleanup() {
        m_session.endPrograms(); // Runeboard first, as it started last
    }

    void panelAppearsCentredTellsTheWindowManagerWhatItIsAndFollowsTheCompositor() {
        const QString panel = startRuneboard();
        QVERIFY(!panel.isEmpty());
        const QList<int> frame = m_session.windowGeometry(panel);
        // The screen is 1280 × 800 and openbox reserves nothing.
        QVERIFY2(qAbs(frame[0] + frame[2] / 2 - 640) <= 1 && qAbs(frame[1] + frame[3] / 2 - 400) <= 1,
                 qPrintable(
                     QString::asprintf("panel at %d,%d size %dx%d", frame[0], frame[1], frame[2], frame[3])));

        QVERIFY(
            m_session.xprop(panel, QStringLiteral("WM_HINTS")).contains(QLatin1String("input focus: False")));
        const QString states = m_session.xprop(panel, QStringLiteral("_NET_WM_STATE"));
        for (const char* state :
             {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR"})
            QVERIFY2(states.contains(QLatin1String(state)), qPrintable(states));
        QCOMPARE(m_session.xprop(panel, QStringLiteral("_NET_WM_DESKTOP")), everyDesktop);
        QCOMPARE(m_session.xprop(panel, QStringLiteral("WM_CLASS")), wmClass);
        // Appearing took nothing from the program that had the focus.
        QCOMPARE(m_session.activeWindow(), m_xterm);

        // No compositor: nothing can be see-through, so the window is clipped to the rounded card.
        QVERIFY(isShaped(panel));
        QProcess* compositor = m_session.launch(XSession::toolPath(QStringLiteral("rb-x11-helper")),
                                                {QStringLiteral("compositor")});
        QVERIFY(compositor->waitForReadyRead(5000));
        QVERIFY(XSession::waitFor([&] { return !isShaped(panel); }));
        compositor->kill();
        compositor->waitForFinished(5000);
        QVERIFY(XSession::waitFor([&] { return isShaped(panel); }));
        QVERIFY(m_session.isViewable(panel));
    }

    void keysTypeWithoutTakingTheFocusAndAddedKeysAndThePlaceAreKept() {
        chooseGermanPreset(m_session.configHome());
        QVERIFY(!startRuneboard().isEmpty());
        const KeyboardLayout plain = germanLayout();
        QVERIFY(waitForPanel(plain.size()));
        QCOMPARE(m_session.activeWindow(), m_xterm);
        QString expected;
        for (const QString& key : SymbolSet::graphemes(QStringLiteral("äöüß"))) {
            clickAt(plain.toView(plain.key(key, false)->frame).center());
            expected += key;
            QCOMPARE(XSession::waitForFileText(m_typed, expected), expected);
            QCOMPARE(m_session.activeWindow(), m_xterm);
        }

        // The add key opens the field and the panel takes the focus.
        clickAt(plain.toView(plain.element(KeyboardElementKind::AddKey)->frame).center());
        const KeyboardLayout adding = germanLayout({}, true);
        QVERIFY(waitForPanel(adding.size()));
        const QString panel = m_session.findWindowByName(panelTitle);
        QVERIFY(XSession::waitFor([&] { return m_session.activeWindow() == panel; }));
        const QRectF field = adding.toView(adding.element(KeyboardElementKind::AddField)->frame);
        const bool cursor = XSession::waitFor([&] { return fieldShowsCursor(field); });
        const QString artifacts = qEnvironmentVariable("RUNEBOARD_ARTIFACTS", QDir::tempPath());
        QDir().mkpath(artifacts);
        m_session.screenshot(artifacts + QStringLiteral("/e2e-add-field.png"));
        QVERIFY(cursor);
        // ŋ on a keycode that carries nothing, as a user who types it would have. (xdotool's own
        // on-the-fly remapping races with the program reading the keymap.)
        const QRegularExpressionMatch free =
            QRegularExpression(QStringLiteral("^.*keycode +(\\d+) = *$"),
                               QRegularExpression::MultilineOption |
                                   QRegularExpression::DotMatchesEverythingOption)
                .match(m_session.keymap());
        QVERIFY(free.hasMatch());
        m_session.run(QStringLiteral("xmodmap"),
                      {QStringLiteral("-e"), QStringLiteral("keycode %1 = eng ENG").arg(free.captured(1))});
        QVERIFY(XSession::waitFor([&] { return m_session.keymap().contains(QStringLiteral("eng")); }));
        m_session.xdotool(QStringLiteral("key eng Return"));

        // Committed: the field closes, the xterm has the focus again, the new key is there and types.
        const KeyboardLayout added = germanLayout({eng});
        QVERIFY(XSession::waitFor([&] { return m_session.activeWindow() == m_xterm; }));
        QVERIFY(waitForPanel(added.size()));
        clickAt(added.toView(added.key(eng, true)->frame).center());
        expected += eng;
        QCOMPARE(XSession::waitForFileText(m_typed, expected), expected);
        QCOMPARE(m_session.activeWindow(), m_xterm);

        // A drag on the card's background moves the panel, and the focus stays.
        const QList<int> before = m_geometry;
        const int x = before[0] + cardBackground.x();
        const int y = before[1] + cardBackground.y();
        m_session.xdotool(QStringLiteral("mousemove %1 %2 mousedown 1").arg(x).arg(y));
        for (int step = 1; step <= 4; ++step)
            m_session.xdotool(QStringLiteral("mousemove %1 %2").arg(x - 30 * step).arg(y - 20 * step));
        m_session.xdotool(QStringLiteral("mouseup 1"));
        const QList<int> moved{before[0] - 120, before[1] - 80, before[2], before[3]};
        QVERIFY(XSession::waitFor([&] { return m_session.windowGeometry(panel) == moved; }));
        QCOMPARE(m_session.activeWindow(), m_xterm);

        // Quit and start again: the panel comes back there, and the new key is there and still types.
        QCOMPARE(runeboard({QStringLiteral("--quit")}).exitCode, 0);
        QVERIFY(m_runeboard->waitForFinished(10000));
        QCOMPARE(m_runeboard->exitCode(), 0);
        QVERIFY(!startRuneboard().isEmpty());
        QVERIFY(waitForPanel(added.size()));
        QCOMPARE(m_geometry, moved);
        clickAt(added.toView(added.key(eng, true)->frame).center());
        expected += eng;
        QCOMPARE(XSession::waitForFileText(m_typed, expected), expected);

        // The close button hides the panel and leaves the focus where it was.
        clickAt(added.closeButton().center());
        QVERIFY(XSession::waitFor([&] { return m_session.findWindowByName(panelTitle).isEmpty(); }));
        QCOMPARE(m_session.activeWindow(), m_xterm);
        QCOMPARE(XSession::readFile(m_typed), expected);
    }

    void hiddenAndShownAgainThePanelIsTheSameWindowInTheSamePlace() {
        const QString panel = startRuneboard();
        QVERIFY(!panel.isEmpty());
        const QList<int> frame = m_session.windowGeometry(panel);
        QCOMPARE(runeboard({QStringLiteral("--toggle")}).exitCode, 0);
        QVERIFY(XSession::waitFor([&] { return !m_session.isViewable(panel); }));
        m_session.xdotool(QStringLiteral("key alt+shift+k"));
        QVERIFY(XSession::waitFor([&] { return m_session.isViewable(panel); }));
        // The same window in the same place; the window manager forgot these while it was hidden.
        QCOMPARE(m_session.windowGeometry(panel), frame);
        // The window manager sets these in its own time after the map.
        QVERIFY(XSession::waitFor([&] {
            return m_session.xprop(panel, QStringLiteral("_NET_WM_DESKTOP")) == everyDesktop &&
                   m_session.xprop(panel, QStringLiteral("_NET_WM_STATE")).contains(QLatin1String("STICKY"));
        }));
        QCOMPARE(m_session.activeWindow(), m_xterm);
        // Still the one instance.
        QCOMPARE(runeboard({}).exitCode, 0);
        QCOMPARE(
            m_session.xdotool({QStringLiteral("search"), QStringLiteral("--name"), u'^' + panelTitle + u'$'}),
            panel);
    }

    void typingAndWindowsAreForwardedToTheRunningInstance() {
        QVERIFY(!startRuneboard().isEmpty());
        QVERIFY(m_session.focusWindow(m_xterm));
        // Symbols off the keymap, one outside the BMP, a combining mark, and plain ASCII.
        const QString text = QStringLiteral("ąβ→€ß𝔸e\u0301 Zz-1");
        QCOMPARE(runeboard({QStringLiteral("--type"), text}).exitCode, 0);
        QCOMPARE(XSession::waitForFileText(m_typed, text), text);

        // The settings and help windows carry the class window rules look for.
        for (const auto& [option, title] :
             {std::pair{"--settings", "Runeboard Settings"}, {"--about", "Help & About"}}) {
            QCOMPARE(runeboard({QString::fromLatin1(option)}).exitCode, 0);
            const QString window = m_session.waitForWindow(QString::fromUtf8(title));
            QCOMPARE(m_session.xprop(window, QStringLiteral("WM_CLASS")), wmClass);
            // Asked for by the user: it comes to the front with the focus.
            QVERIFY(XSession::waitFor([&] { return m_session.activeWindow() == window; }));
            // Closing it (openbox's Alt+F4) leaves the application running.
            m_session.xdotool(QStringLiteral("key alt+F4"));
            QVERIFY(XSession::waitFor([&] { return !m_session.isViewable(window); }));
        }
        QCOMPARE(runeboard({QStringLiteral("--hide")}).exitCode, 0);
        QCOMPARE(m_runeboard->state(), QProcess::Running);
    }

    // Output to a reader that has gone (a closed terminal or launcher) fails the write, not the process.
    void outputNobodyReadsEndsNoProcess() {
        int pipe[2];
        QVERIFY(::pipe(pipe) == 0);
        ::close(pipe[0]);
        QProcess help;
        help.setChildProcessModifier([out = pipe[1]] { ::dup2(out, STDOUT_FILENO); });
        help.start(XSession::runeboardBinary(), {QStringLiteral("--help")});
        QVERIFY(help.waitForFinished(10000));
        ::close(pipe[1]);
        QCOMPARE(help.exitStatus(), QProcess::NormalExit);
    }

    void trayIconDocksWhenATrayAppearsLater() {
        QVERIFY(!startRuneboard().isEmpty());
        QByteArray said;
        QVERIFY(XSession::waitFor([&] {
            said += m_runeboard->readAllStandardOutput();
            return said.contains("`runeboard --settings` opens the settings");
        }));

        QProcess* tray =
            m_session.launch(XSession::toolPath(QStringLiteral("rb-x11-helper")), {QStringLiteral("tray")});
        QByteArray trayOutput;
        QVERIFY(XSession::waitFor([&] {
            trayOutput += tray->readAllStandardOutput();
            return trayOutput.contains("dock ") && trayOutput.endsWith('\n');
        }));
        // Qt's own windows carry the application's class too.
        const QString icon =
            QString::fromLatin1(trayOutput.mid(trayOutput.indexOf("dock ") + 5).split('\n').first());
        QCOMPARE(m_session.xprop(icon, QStringLiteral("WM_CLASS")), wmClass);
    }

private:
    // Starts Runeboard and waits for its panel; returns the panel's window id.
    QString startRuneboard() {
        m_runeboard = m_session.launch(XSession::runeboardBinary(), {}, m_env);
        QString panel;
        XSession::waitFor(
            [&] {
                panel = m_session.findWindowByName(panelTitle);
                return !panel.isEmpty() && m_session.windowGeometry(panel).at(2) > 0;
            },
            15000);
        if (panel.isEmpty())
            qWarning("Runeboard said: %s", m_runeboard->readAllStandardOutput().constData());
        return panel;
    }

    // Waits until the panel has this size; its geometry goes to m_geometry.
    bool waitForPanel(const QSizeF& size) {
        return m_session.waitForWindowSize(panelTitle, size, m_geometry);
    }

    void clickAt(const QPointF& viewPoint) {
        m_session.clickFromCorner(m_geometry[0] + int(viewPoint.x()), m_geometry[1] + int(viewPoint.y()));
    }

    // The empty field shows its text cursor once it has the keyboard focus.
    bool fieldShowsCursor(const QRectF& field) {
        const QString shot = m_session.scratchPath(QStringLiteral("panel.png"));
        if (!m_session.screenshot(shot))
            return false;
        const QImage image(shot);
        const QRect r = field.translated(m_geometry[0], m_geometry[1]).toRect().adjusted(8, 6, -8, -6);
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (qGray(image.pixel(x, y)) > 140) // the face is darker than 100 inside its bevel
                    return true;
        return false;
    }

    XSession::Result runeboard(const QStringList& arguments) {
        return m_session.run(XSession::runeboardBinary(), arguments, 15000, m_env);
    }

    bool isShaped(const QString& window) {
        const XSession::Result info =
            m_session.run(QStringLiteral("xwininfo"), XSession::words("-shape -id " + window));
        return info.exitCode == 0 && !info.out.contains(QLatin1String("No window shape defined"));
    }

    XSession m_session;
    QProcessEnvironment m_env; // Runeboard's own
    QProcess* m_runeboard = nullptr;
    QString m_xterm;
    QString m_typed;
    QList<int> m_geometry;
};

QTEST_GUILESS_MAIN(TestShell)
#include "e2e_shell.moc"
