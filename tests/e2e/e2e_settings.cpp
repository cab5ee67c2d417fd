// The settings window in a real session: it opens at its size with the focus,
// the Hotkeys tab reads as a screen reader finds it (AT-SPI on a private
// D-Bus), a combination recorded there works at once from any program and the
// old one stops working, and pictures of every tab and of Help & About in both
// languages are kept in the build folder.
#include "XSession.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QSettings>
#include <QTest>

namespace {

const QString settingsTitle = QStringLiteral("Runeboard Settings");
const QString panelTitle = QStringLiteral("Runeboard Keyboard");
const QString accessible = QStringLiteral("org.a11y.atspi.Accessible");

// Window coordinates: the centres of the three tab segments (the selector spans
// x 20–460 below a 16-point margin) and of the first row's recorder (140 × 24
// at the right margin, below the selector, the divider and the group's padding).
const QPoint tabCentres[] = {{93, 28}, {240, 28}, {387, 28}};
const QPoint toggleRecorder(390, 82);

QString artifactsDir() {
    const QString dir = qEnvironmentVariable("RUNEBOARD_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(dir);
    return dir;
}

// One call's first answer; nothing when the object does not answer in time.
QVariant call(QDBusConnection bus, const QString& service, const QString& path, const QString& interface,
              const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, 2000).arguments().value(0);
}

QString nameOf(QDBusConnection bus, const QString& service, const QString& path) {
    const QVariant name = call(bus, service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                               QStringLiteral("Get"), {accessible, QStringLiteral("Name")});
    return qdbus_cast<QDBusVariant>(name).variant().toString();
}

// The names of the objects on screen below one accessible object (AT-SPI state 25 is "showing").
void collectShownNames(QDBusConnection bus, const QString& service, const QString& path, QStringList& names) {
    names.append(nameOf(bus, service, path));
    const QDBusArgument children =
        call(bus, service, path, accessible, QStringLiteral("GetChildren")).value<QDBusArgument>();
    children.beginArray();
    while (!children.atEnd()) {
        QString childService;
        QDBusObjectPath child;
        children.beginStructure();
        children >> childService >> child;
        children.endStructure();
        const auto state = qdbus_cast<QList<quint32>>(
            call(bus, childService, child.path(), accessible, QStringLiteral("GetState")));
        if (state.value(0) & (1u << 25))
            collectShownNames(bus, childService, child.path(), names);
    }
    children.endArray();
}

// What a screen reader finds on screen in the application named Runeboard.
QStringList shownAccessibleNames(const QString& sessionBus) {
    QStringList names;
    {
        const QDBusConnection session = QDBusConnection::connectToBus(sessionBus, QStringLiteral("session"));
        const QVariant address =
            call(session, QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                 QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
        const QDBusConnection a11y =
            QDBusConnection::connectToBus(address.toString(), QStringLiteral("a11y"));
        const QString root = QStringLiteral("/org/a11y/atspi/accessible/root");
        for (const QString& service : a11y.interface()->registeredServiceNames().value()) {
            if (service.startsWith(u':') && nameOf(a11y, service, root) == QLatin1String("Runeboard"))
                collectShownNames(a11y, service, root, names);
        }
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("a11y"));
    QDBusConnection::disconnectFromBus(QStringLiteral("session"));
    return names;
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void recordedHotkeyWorksAtOnceSystemWide();
    void screenshots_data();
    void screenshots();

private:
    QString startWithSettings(const QString& language = {});
    void click(const QString& window, const QPoint& position);
    bool isViewable(const QString& window);
    bool showsAll(const QStringList& texts);
    // A picture of the window once two in a row come out the same (it has finished drawing).
    bool settledScreenshot(const QString& path, const QString& window, const QByteArray& unlike = {});

    XSession m_session;
    QString m_sessionBus; // a private D-Bus, through which the accessibility bus is found
    QProcess* m_runeboard = nullptr;
};

void TestSettings::initTestCase() {
    QString error;
    QVERIFY2(m_session.start(&error), qPrintable(error));
    QVERIFY2(QFileInfo(XSession::runeboardBinary()).isExecutable(), "RUNEBOARD_BINARY is not set");
    QProcess* bus = m_session.launch(
        QStringLiteral("dbus-daemon"),
        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    QVERIFY(XSession::waitFor([&] { return bus->canReadLine(); }));
    m_sessionBus = QString::fromUtf8(bus->readLine()).trimmed();
}

void TestSettings::init() {
    QDir(m_session.configHome()).removeRecursively();
    QDir().mkpath(m_session.configHome() + QStringLiteral("/runeboard"));
}

void TestSettings::cleanup() {
    if (!m_runeboard || m_runeboard->state() == QProcess::NotRunning)
        return;
    m_session.run(XSession::runeboardBinary(), {QStringLiteral("--quit")});
    if (!m_runeboard->waitForFinished(10000))
        m_runeboard->kill();
}

QString TestSettings::startWithSettings(const QString& language) {
    if (!language.isEmpty()) {
        QSettings config(m_session.configHome() + QStringLiteral("/runeboard/runeboard.conf"),
                         QSettings::IniFormat);
        config.setValue(QStringLiteral("appLanguage"), language);
    }
    QProcessEnvironment env = m_session.environment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_sessionBus);
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    // The first process becomes the running instance and carries out its own request.
    m_runeboard = m_session.launch(XSession::runeboardBinary(), {QStringLiteral("--settings")}, env);
    QString window;
    XSession::waitFor(
        [&] {
            window = m_session.findWindowByName(settingsTitle);
            return !window.isEmpty() && isViewable(window);
        },
        15000);
    if (window.isEmpty())
        qWarning("Runeboard said: %s", m_runeboard->readAllStandardOutput().constData());
    return window;
}

void TestSettings::click(const QString& window, const QPoint& position) {
    m_session.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                       QString::number(position.x()), QString::number(position.y()), QStringLiteral("click"),
                       QStringLiteral("1")});
}

bool TestSettings::isViewable(const QString& window) {
    const XSession::Result info = m_session.run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    return info.out.contains(QLatin1String("Map State: IsViewable"));
}

bool TestSettings::showsAll(const QStringList& texts) {
    QStringList shown;
    const bool found = XSession::waitFor([&] {
        shown = shownAccessibleNames(m_sessionBus);
        return std::all_of(texts.cbegin(), texts.cend(),
                           [&](const QString& text) { return shown.contains(text); });
    });
    if (!found)
        qWarning("On screen: %s", qPrintable(shown.join(QStringLiteral(" | "))));
    return found;
}

bool TestSettings::settledScreenshot(const QString& path, const QString& window, const QByteArray& unlike) {
    QByteArray previous;
    return XSession::waitFor(
        [&] {
            QFile file(path);
            if (!m_session.screenshot(path, window) || !file.open(QIODevice::ReadOnly))
                return false;
            const QByteArray current = file.readAll();
            const bool settled = !current.isEmpty() && current == previous && current != unlike;
            previous = current;
            return settled;
        },
        10000);
}

void TestSettings::recordedHotkeyWorksAtOnceSystemWide() {
    const QString window = startWithSettings();
    QVERIFY(!window.isEmpty());
    QString panel;
    QVERIFY(XSession::waitFor([&] { return !(panel = m_session.findWindowByName(panelTitle)).isEmpty(); }));

    click(window, tabCentres[2]);
    click(window, toggleRecorder);
    m_session.xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+j")});
    QVERIFY(showsAll({QStringLiteral("Ctrl+Alt+J")}));
    QVERIFY(settledScreenshot(QDir(artifactsDir()).filePath(QStringLiteral("settings-hotkeys-recorded.png")),
                              window));

    // From another program: the new combination hides and shows the keyboard.
    const QString xterm = m_session.startXtermReceiver(m_session.scratchPath(QStringLiteral("typed.txt")));
    QVERIFY(!xterm.isEmpty());
    QVERIFY(XSession::waitFor([&] { return isViewable(panel); }));
    m_session.xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+j")});
    QVERIFY(XSession::waitFor([&] { return !isViewable(panel); }));
    m_session.xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+j")});
    QVERIFY(XSession::waitFor([&] { return isViewable(panel); }));

    // The old one does nothing any more: after old + new the keyboard must end
    // up hidden (had the old one still worked, the two presses would cancel out).
    m_session.xdotool({QStringLiteral("key"), QStringLiteral("alt+shift+k")});
    m_session.xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+j")});
    QVERIFY(XSession::waitFor([&] { return !isViewable(panel); }));
    QTest::qWait(300);
    QVERIFY(!isViewable(panel));
    m_session.xdotool({QStringLiteral("windowkill"), xterm});
}

void TestSettings::screenshots_data() {
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << QStringLiteral("en");
    QTest::newRow("Russian") << QStringLiteral("ru");
}

void TestSettings::screenshots() {
    QFETCH(QString, language);
    const QString window = startWithSettings(language);
    QVERIFY(!window.isEmpty());
    QCOMPARE(m_session.windowGeometry(window).mid(2), (QList<int>{480, 460}));
    QVERIFY(XSession::waitFor([&] { return m_session.activeWindow() == window; }));
    // The keyboard floats above everything; out of the way for the pictures.
    QCOMPARE(m_session.run(XSession::runeboardBinary(), {QStringLiteral("--hide")}).exitCode, 0);
    QVERIFY(XSession::waitFor([&] {
        const QString panel = m_session.findWindowByName(panelTitle);
        return panel.isEmpty() || !isViewable(panel);
    }));
    const QDir artifacts(artifactsDir());
    const char* const tabNames[] = {"general", "sets", "hotkeys"};
    QByteArray previous;
    for (int tab = 0; tab < 3; ++tab) {
        const QString path = artifacts.filePath(
            QStringLiteral("settings-%1-%2.png").arg(QLatin1String(tabNames[tab]), language));
        if (tab > 0)
            click(window, tabCentres[tab]);
        // Each tab's picture must differ from the previous tab's: the switch has been drawn.
        QVERIFY2(settledScreenshot(path, window, previous), qPrintable(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        previous = file.readAll();
    }
    // The combinations as Linux keyboards name their keys, whatever the language.
    QVERIFY(showsAll({QStringLiteral("Alt+Shift+K"), QStringLiteral("Alt+Shift+1"),
                      QStringLiteral("Alt+Shift+2"), QStringLiteral("Alt+Shift+3")}));
    // And the Help & About window, whose instructions quote the same combinations.
    QCOMPARE(m_session.run(XSession::runeboardBinary(), {QStringLiteral("--about")}).exitCode, 0);
    QString help;
    QVERIFY(XSession::waitFor(
        [&] { return !(help = m_session.findWindowByName(QStringLiteral("Help & About"))).isEmpty(); }));
    QVERIFY(settledScreenshot(artifacts.filePath(QStringLiteral("help-about-%1.png").arg(language)), help));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "e2e_settings.moc"
