// The settings window in a real session: it opens at its size, the Hotkeys
// tab reads as a screen reader finds it (AT-SPI on a private D-Bus), and a
// combination recorded there reaches the configuration file and works at
// once from any program while the old one stops working.
#include "ScreenReader.h"

#include <QSettings>
#include <QTest>

namespace {

const QString settingsTitle = QStringLiteral("Runeboard Settings");
const QString panelTitle = QStringLiteral("Runeboard Keyboard");

// Window coordinates: the centre of the Hotkeys tab segment (the selector spans
// x 20–460 below a 16-point margin) and of the first row's recorder (140 × 24
// at the right margin, below the selector, the divider and the group's padding).
const QPoint hotkeysTab(387, 28);
const QPoint toggleRecorder(390, 82);

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QString error;
        QVERIFY2(m_session.start(&error), qPrintable(error));
        QVERIFY2(QFileInfo(XSession::runeboardBinary()).isExecutable(), "RUNEBOARD_BINARY is not set");
        m_reader = std::make_unique<ScreenReader>(m_session);
        QVERIFY(m_reader->isRunning());
    }

    void hotkeysTabReadsAndRecordsIntoTheFile() {
        const QProcessEnvironment env = m_reader->environment(m_session.environment());
        // The first process becomes the running instance and carries out its own request.
        m_runeboard = m_session.launch(XSession::runeboardBinary(), {QStringLiteral("--settings")}, env);
        QString window, panel;
        QVERIFY2(XSession::waitFor(
                     [&] {
                         window = m_session.findWindowByName(settingsTitle);
                         return !window.isEmpty() && m_session.isViewable(window);
                     },
                     15000),
                 m_runeboard->readAllStandardOutput().constData());
        QCOMPARE(m_session.windowGeometry(window).mid(2), (QList<int>{480, 460}));
        QVERIFY(XSession::waitFor([&] {
            panel = m_session.findWindowByName(panelTitle);
            return !panel.isEmpty() && m_session.isViewable(panel);
        }));

        // The combinations as Linux keyboards name their keys.
        click(window, hotkeysTab);
        QVERIFY(m_reader->findsAll({QStringLiteral("Alt+Shift+K"), QStringLiteral("Alt+Shift+1"),
                                    QStringLiteral("Alt+Shift+2"), QStringLiteral("Alt+Shift+3")},
                                   true));
        click(window, toggleRecorder);
        m_session.xdotool(QStringLiteral("key ctrl+alt+j"));
        QVERIFY(m_reader->findsAll({QStringLiteral("Ctrl+Alt+J")}, true));
        // Stored by key position and modifier mask: J is 38, Control 4096 and Option 2048.
        const QString file = m_session.configHome() + QStringLiteral("/runeboard/runeboard.conf");
        QVERIFY(XSession::waitFor([&] {
            return QSettings(file, QSettings::IniFormat)
                .value(QStringLiteral("hotkeySettings_v1"))
                .toByteArray()
                .contains(R"("toggleKeyboard":{"keyCode":38,"modifiers":6144})");
        }));

        // From another program, only the new combination works: after old + new the
        // keyboard must end up hidden (had the old one still worked, they would cancel out).
        const QString xterm =
            m_session.startXtermReceiver(m_session.scratchPath(QStringLiteral("typed.txt")));
        QVERIFY(!xterm.isEmpty());
        m_session.xdotool(QStringLiteral("key alt+shift+k"));
        m_session.xdotool(QStringLiteral("key ctrl+alt+j"));
        QVERIFY(XSession::waitFor([&] { return !m_session.isViewable(panel); }));
        QTest::qWait(300);
        QVERIFY(!m_session.isViewable(panel));
        m_session.xdotool(QStringLiteral("windowkill ") + xterm);
    }

private:
    void click(const QString& window, const QPoint& position) {
        m_session.xdotool(QStringLiteral("mousemove --window %1 %2 %3 click 1")
                              .arg(window)
                              .arg(position.x())
                              .arg(position.y()));
    }

    XSession m_session;
    std::unique_ptr<ScreenReader> m_reader;
    QProcess* m_runeboard = nullptr;
};

QTEST_GUILESS_MAIN(TestSettings)
#include "e2e_settings.moc"
