// The application shell on a real X server with a real window manager: where
// the panel appears, what the window manager is told, that the focus stays
// with the program being typed into, hide and show, the remembered place, one
// instance per display answering the commands of a second `runeboard`, and a
// start that leaves alone what it did not bind.
#include "XSession.h"

#include <QDir>
#include <QTest>

#include <csignal>

namespace {
const QString panelTitle = QStringLiteral("Runeboard Keyboard");
const QString wmClass = QStringLiteral("WM_CLASS(STRING) = \"runeboard\", \"Runeboard\"");
const QString everyDesktop = QStringLiteral("_NET_WM_DESKTOP(CARDINAL) = 4294967295");
// Inside the compact card, left of the keys: a press here moves the panel.
const QPoint cardBackground(25, 45);
} // namespace

class TestShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void panelAppearsCentredTellsTheWindowManagerWhatItIsAndFollowsTheCompositor();
    void movedPanelComesBackThereAfterQuitAndStart();
    void oneInstanceWithoutXdgRuntimeDirAlsoAfterACrash();
    void plantedRecordLeavesTheKeymapAlone();
    void typingAndWindowsAreForwardedToTheRunningInstance();
    void trayIconDocksWhenATrayAppearsLater();

private:
    // Starts Runeboard and waits for its panel; returns the panel's window id.
    QString startRuneboard();
    XSession::Result runeboard(const QStringList& arguments, int timeoutMs = 15000);
    bool isViewable(const QString& window);
    bool isShaped(const QString& window);
    void quitRuneboard();

    XSession m_session;
    QProcessEnvironment m_env; // Runeboard's own
    QProcess* m_runeboard = nullptr;
    QString m_xterm;
    QString m_typed;
};

void TestShell::initTestCase() {
    QString error;
    QVERIFY2(m_session.start(&error), qPrintable(error));
    QVERIFY2(QFileInfo(XSession::runeboardBinary()).isExecutable(), "RUNEBOARD_BINARY is not set");
}

void TestShell::init() {
    // A fresh configuration for every test: first start, nothing remembered.
    QDir(m_session.configHome()).removeRecursively();
    QDir().mkpath(m_session.configHome());
    m_env = m_session.environment();
    m_typed = m_session.scratchPath(QStringLiteral("typed-%1.txt").arg(QTest::currentTestFunction()));
    m_xterm = m_session.startXtermReceiver(m_typed);
    QVERIFY(!m_xterm.isEmpty());
}

void TestShell::cleanup() {
    quitRuneboard();
    if (!m_xterm.isEmpty())
        m_session.xdotool({QStringLiteral("windowkill"), m_xterm});
}

QString TestShell::startRuneboard() {
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

XSession::Result TestShell::runeboard(const QStringList& arguments, int timeoutMs) {
    return m_session.run(XSession::runeboardBinary(), arguments, timeoutMs, m_env);
}

bool TestShell::isViewable(const QString& window) {
    const XSession::Result info = m_session.run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    return info.out.contains(QLatin1String("Map State: IsViewable"));
}

bool TestShell::isShaped(const QString& window) {
    const XSession::Result info =
        m_session.run(QStringLiteral("xwininfo"), {QStringLiteral("-shape"), QStringLiteral("-id"), window});
    return info.exitCode == 0 && !info.out.contains(QLatin1String("No window shape defined"));
}

void TestShell::quitRuneboard() {
    if (!m_runeboard || m_runeboard->state() == QProcess::NotRunning)
        return;
    runeboard({QStringLiteral("--quit")});
    if (!m_runeboard->waitForFinished(10000))
        m_runeboard->kill();
}

void TestShell::panelAppearsCentredTellsTheWindowManagerWhatItIsAndFollowsTheCompositor() {
    const QString panel = startRuneboard();
    QVERIFY(!panel.isEmpty());
    const QList<int> frame = m_session.windowGeometry(panel);
    // The screen is 1280 × 800 and openbox reserves nothing.
    QVERIFY2(
        qAbs(frame[0] + frame[2] / 2 - 640) <= 1 && qAbs(frame[1] + frame[3] / 2 - 400) <= 1,
        qPrintable(QString::asprintf("panel at %d,%d size %dx%d", frame[0], frame[1], frame[2], frame[3])));

    QVERIFY(m_session.xprop(panel, QStringLiteral("WM_HINTS")).contains(QLatin1String("input focus: False")));
    const QString states = m_session.xprop(panel, QStringLiteral("_NET_WM_STATE"));
    for (const char* state : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR"})
        QVERIFY2(states.contains(QLatin1String(state)), qPrintable(states));
    QCOMPARE(m_session.xprop(panel, QStringLiteral("_NET_WM_DESKTOP")), everyDesktop);
    QCOMPARE(m_session.xprop(panel, QStringLiteral("WM_CLASS")), wmClass);
    QCOMPARE(m_session.xprop(panel, QStringLiteral("WM_WINDOW_ROLE")),
             QStringLiteral("WM_WINDOW_ROLE(STRING) = \"keyboard\""));
    // Appearing took nothing from the program that had the focus.
    QCOMPARE(m_session.activeWindow(), m_xterm);

    // No compositor: nothing can be see-through, so the window is clipped to the rounded card.
    QVERIFY(isShaped(panel));
    QProcess* compositor = m_session.launch(XSession::toolPath(QStringLiteral("rb-fake-compositor")), {});
    QVERIFY(compositor->waitForReadyRead(5000));
    QVERIFY(XSession::waitFor([&] { return !isShaped(panel); }));
    compositor->kill();
    compositor->waitForFinished(5000);
    QVERIFY(XSession::waitFor([&] { return isShaped(panel); }));
    QVERIFY(isViewable(panel));
}

void TestShell::movedPanelComesBackThereAfterQuitAndStart() {
    QString panel = startRuneboard();
    QVERIFY(!panel.isEmpty());
    const QList<int> before = m_session.windowGeometry(panel);
    const int x = before[0] + cardBackground.x();
    const int y = before[1] + cardBackground.y();
    m_session.xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y),
                       QStringLiteral("mousedown"), QStringLiteral("1")});
    for (int step = 1; step <= 4; ++step)
        m_session.xdotool(
            {QStringLiteral("mousemove"), QString::number(x - 30 * step), QString::number(y - 20 * step)});
    m_session.xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    const QList<int> moved{before[0] - 120, before[1] - 80, before[2], before[3]};
    QVERIFY(XSession::waitFor([&] { return m_session.windowGeometry(panel) == moved; }));
    QCOMPARE(m_session.activeWindow(), m_xterm);

    const XSession::Result quit = runeboard({QStringLiteral("--quit")});
    QCOMPARE(quit.exitCode, 0);
    QVERIFY(m_runeboard->waitForFinished(10000));
    QCOMPARE(m_runeboard->exitCode(), 0);

    panel = startRuneboard();
    QVERIFY(!panel.isEmpty());
    QCOMPARE(m_session.windowGeometry(panel), moved);
}

void TestShell::oneInstanceWithoutXdgRuntimeDirAlsoAfterACrash() {
    // The folder comes from the home, whatever another user left in the shared temporary folder.
    m_env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    m_env.insert(QStringLiteral("TMPDIR"), m_session.scratchPath(QStringLiteral("tmp")));
    m_env.insert(QStringLiteral("XDG_STATE_HOME"), m_session.scratchPath(QStringLiteral("state")));
    const QString squatted = m_session.scratchPath(QStringLiteral("tmp/runeboard-%1").arg(::getuid()));
    const QString folder = m_session.scratchPath(QStringLiteral("state/runeboard/runtime"));
    for (const QString& path : {squatted, folder})
        QVERIFY(QDir().mkpath(path) && QFile::setPermissions(path, QFile::Permissions(0x7777)));
    // A folder others may open is not taken, and a start without its socket says so and ends.
    const XSession::Result refused = runeboard({});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains(folder), qPrintable(refused.err));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QString panel = startRuneboard();
    QVERIFY(!panel.isEmpty());
    const QList<int> frame = m_session.windowGeometry(panel);
    QCOMPARE(runeboard({QStringLiteral("--toggle")}).exitCode, 0);
    QVERIFY(XSession::waitFor([&] { return !isViewable(panel); }));
    m_session.xdotool({QStringLiteral("key"), QStringLiteral("alt+shift+k")});
    QVERIFY(XSession::waitFor([&] { return isViewable(panel); }));
    // The same window in the same place; the window manager forgot these while it was hidden.
    QCOMPARE(m_session.windowGeometry(panel), frame);
    QCOMPARE(m_session.xprop(panel, QStringLiteral("_NET_WM_DESKTOP")), everyDesktop);
    QVERIFY(m_session.xprop(panel, QStringLiteral("_NET_WM_STATE")).contains(QLatin1String("STICKY")));
    QCOMPARE(m_session.activeWindow(), m_xterm);
    // Still the one instance.
    QCOMPARE(runeboard({}).exitCode, 0);
    QCOMPARE(
        m_session.xdotool({QStringLiteral("search"), QStringLiteral("--name"), u'^' + panelTitle + u'$'}),
        panel);

    ::kill(static_cast<pid_t>(m_runeboard->processId()), SIGKILL);
    QVERIFY(m_runeboard->waitForFinished(5000));
    // Its lock and socket file are still there; the next start takes them over.
    panel = startRuneboard();
    QVERIFY(!panel.isEmpty());
    QCOMPARE(runeboard({QStringLiteral("--toggle")}).exitCode, 0);
    QVERIFY(XSession::waitFor([&] { return !isViewable(panel); }));
}

void TestShell::plantedRecordLeavesTheKeymapAlone() {
    const QString keymap = m_session.keymap();
    QCOMPARE(runeboard({QStringLiteral("--type"), QString()}).exitCode, 0); // the server gets its name
    const QString server = m_session.xprop({}, QStringLiteral("_RUNEBOARD_SERVER_ID")).section(u'"', 1, 1);
    QVERIFY(!server.isEmpty());
    // As a crash would have left it, but naming Escape, BackSpace, Return, Control_L, Shift_L and space.
    QFile record(m_session.runtimeDir() + QStringLiteral("/runeboard/keymap-99999.json"));
    QVERIFY(record.open(QIODevice::WriteOnly));
    record.write(QStringLiteral(R"({"display":"%1","server":"%2","pid":99999,"program":"/usr/bin/runeboard",)"
                                R"("keycodes":{"9":[65307],"22":[65288],"36":[65293],"37":[65507],)"
                                R"("50":[65505],"65":[32]}})")
                     .arg(m_session.display(), server)
                     .toUtf8());
    record.close();
    QCOMPARE(runeboard({QStringLiteral("--type"), QStringLiteral("x")}).exitCode, 0);
    QCOMPARE(m_session.keymap(), keymap);
}

void TestShell::typingAndWindowsAreForwardedToTheRunningInstance() {
    QVERIFY(!startRuneboard().isEmpty());
    QVERIFY(m_session.focusWindow(m_xterm));
    // Symbols off the keymap, one outside the BMP, a combining mark, and plain ASCII.
    const QString text = QStringLiteral("ąβ→€ß𝔸e\u0301 Zz-1");
    QCOMPARE(runeboard({QStringLiteral("--type"), text}).exitCode, 0);
    QCOMPARE(XSession::waitForFileText(m_typed, text), text);

    // The settings and help windows are named for window rules.
    const struct {
        const char* option;
        const char* title;
        const char* role;
    } windows[] = {{"--settings", "Runeboard Settings", "settings"}, {"--about", "Help & About", "help"}};
    for (const auto& expected : windows) {
        QCOMPARE(runeboard({QString::fromLatin1(expected.option)}).exitCode, 0);
        QString window;
        QVERIFY(XSession::waitFor([&] {
            window = m_session.findWindowByName(QString::fromUtf8(expected.title));
            return !window.isEmpty();
        }));
        QCOMPARE(m_session.xprop(window, QStringLiteral("WM_CLASS")), wmClass);
        QCOMPARE(m_session.xprop(window, QStringLiteral("WM_WINDOW_ROLE")),
                 QStringLiteral("WM_WINDOW_ROLE(STRING) = \"%1\"").arg(QLatin1String(expected.role)));
        // Asked for by the user: it comes to the front with the focus.
        QVERIFY(XSession::waitFor([&] { return m_session.activeWindow() == window; }));
        // Closing it (openbox's Alt+F4) leaves the application running.
        m_session.xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")});
        QVERIFY(XSession::waitFor([&] { return !isViewable(window); }));
    }
    QCOMPARE(runeboard({QStringLiteral("--hide")}).exitCode, 0);
    QCOMPARE(m_runeboard->state(), QProcess::Running);
}

void TestShell::trayIconDocksWhenATrayAppearsLater() {
    QVERIFY(!startRuneboard().isEmpty());
    QByteArray said;
    QVERIFY(XSession::waitFor([&] {
        said += m_runeboard->readAllStandardOutput();
        return said.contains("`runeboard --settings` opens the settings");
    }));

    QProcess* tray = m_session.launch(XSession::toolPath(QStringLiteral("rb-fake-tray")), {});
    QByteArray trayOutput;
    QVERIFY(XSession::waitFor([&] {
        trayOutput += tray->readAllStandardOutput();
        return trayOutput.contains("dock ") && trayOutput.endsWith('\n');
    }));
    // Qt's own windows carry the application's class too.
    const QString icon =
        QString::fromLatin1(trayOutput.mid(trayOutput.indexOf("dock ") + 5).split('\n').first());
    QCOMPARE(m_session.xprop(icon, QStringLiteral("WM_CLASS")), wmClass);
    tray->kill();
    tray->waitForFinished(5000);
}

QTEST_GUILESS_MAIN(TestShell)
#include "e2e_shell.moc"
