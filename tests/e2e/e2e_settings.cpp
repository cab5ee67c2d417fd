// The settings and Help & About windows in a real session: the settings window
// opens at its size with the focus, the Hotkeys tab reads as a screen reader
// finds it (AT-SPI on a private D-Bus), a combination recorded there works at
// once from any program and the old one stops working, and pictures of every
// tab in both languages are kept in the build folder.
#include "XSession.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTest>

namespace {

const QString settingsTitle = QStringLiteral("Runeboard Settings");
const QString helpTitle = QStringLiteral("Help & About");
const QString panelTitle = QStringLiteral("Runeboard Keyboard");

// Window coordinates: the centres of the three tab segments (the selector spans
// x 20–460 below a 16-point margin) and of the first row's recorder (140 × 24
// at the right margin, below the selector, the divider and the group's padding).
const QPoint tabCentres[] = {{93, 28}, {240, 28}, {387, 28}};
const QPoint toggleRecorder(390, 82);

// One AT-SPI call on the accessibility bus; an object that does not answer in time gives nothing.
QList<QVariant> atspiCall(QDBusConnection& bus, const QString& service, const QString& path,
                          const QString& interface, const QString& method,
                          const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments() : QList<QVariant>();
}

// The names of the accessible objects that are on screen below one object.
void collectShownNames(QDBusConnection& bus, const QString& service, const QString& path, QStringList& names,
                       int depth = 0) {
    const QString accessible = QStringLiteral("org.a11y.atspi.Accessible");
    const QList<QVariant> state = atspiCall(bus, service, path, accessible, QStringLiteral("GetState"));
    constexpr quint32 showing = 1u << 25;
    if (depth > 0 && (state.isEmpty() || !(qdbus_cast<QList<quint32>>(state.first()).value(0) & showing)))
        return;
    const QList<QVariant> name =
        atspiCall(bus, service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                  QStringLiteral("Get"), {accessible, QStringLiteral("Name")});
    if (!name.isEmpty())
        names.append(qdbus_cast<QDBusVariant>(name.first()).variant().toString());
    const QList<QVariant> children = atspiCall(bus, service, path, accessible, QStringLiteral("GetChildren"));
    if (children.isEmpty() || depth > 20)
        return;
    const QDBusArgument list = children.first().value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString childService;
        QDBusObjectPath childPath;
        list.beginStructure();
        list >> childService >> childPath;
        list.endStructure();
        collectShownNames(bus, childService, childPath.path(), names, depth + 1);
    }
    list.endArray();
}

// What a screen reader finds on screen in the application named Runeboard.
QStringList shownAccessibleNames(const QString& sessionBus) {
    QStringList names;
    {
        QDBusConnection session = QDBusConnection::connectToBus(sessionBus, QStringLiteral("session"));
        const QList<QVariant> address =
            atspiCall(session, QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                      QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
        QDBusConnection a11y =
            QDBusConnection::connectToBus(address.value(0).toString(), QStringLiteral("a11y"));
        const QStringList services =
            a11y.isConnected() ? a11y.interface()->registeredServiceNames().value() : QStringList();
        const QString root = QStringLiteral("/org/a11y/atspi/accessible/root");
        for (const QString& service : services) {
            const QList<QVariant> name = atspiCall(
                a11y, service, root, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                {QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("Name")});
            if (service.startsWith(u':') && !name.isEmpty() &&
                qdbus_cast<QDBusVariant>(name.first()).variant().toString() == QLatin1String("Runeboard"))
                collectShownNames(a11y, service, root, names);
        }
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("a11y"));
    QDBusConnection::disconnectFromBus(QStringLiteral("session"));
    return names;
}

QString artifactsDir() {
    const QString dir = qEnvironmentVariable("RUNEBOARD_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(dir);
    return dir;
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
    // A picture of the window once two in a row come out the same (it has finished drawing).
    bool settledScreenshot(const QString& path, const QString& window, const QByteArray& unlike = {});
    QJsonObject storedHotkeys();

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
    // The first process becomes the running instance and carries out its own request.
    QProcessEnvironment env = m_session.environment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_sessionBus);
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
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

QJsonObject TestSettings::storedHotkeys() {
    QSettings config(m_session.configHome() + QStringLiteral("/runeboard/runeboard.conf"),
                     QSettings::IniFormat);
    return QJsonDocument::fromJson(config.value(QStringLiteral("hotkeySettings_v1")).toByteArray()).object();
}

void TestSettings::recordedHotkeyWorksAtOnceSystemWide() {
    const QString window = startWithSettings();
    QVERIFY(!window.isEmpty());
    QString panel;
    QVERIFY(XSession::waitFor([&] {
        panel = m_session.findWindowByName(panelTitle);
        return !panel.isEmpty();
    }));

    click(window, tabCentres[2]);
    click(window, toggleRecorder);
    m_session.xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+j")});
    // Saved as the J key's position (macOS code 38) with Control and Option.
    QVERIFY(XSession::waitFor([&] {
        const QJsonObject toggle = storedHotkeys().value(QStringLiteral("toggleKeyboard")).toObject();
        return toggle.value(QStringLiteral("keyCode")).toInt() == 38 &&
               toggle.value(QStringLiteral("modifiers")).toInt() == 6144;
    }));
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
        if (tab == 2) {
            // The combinations as Linux keyboards name their keys, in either language.
            const QStringList defaults = {QStringLiteral("Alt+Shift+K"), QStringLiteral("Alt+Shift+1"),
                                          QStringLiteral("Alt+Shift+2"), QStringLiteral("Alt+Shift+3")};
            QStringList shown;
            QVERIFY2(XSession::waitFor([&] {
                         shown = shownAccessibleNames(m_sessionBus);
                         return std::all_of(defaults.cbegin(), defaults.cend(),
                                            [&](const QString& text) { return shown.contains(text); });
                     }),
                     qPrintable(shown.join(QStringLiteral(" | "))));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        previous = file.readAll();
    }

    QCOMPARE(m_session.run(XSession::runeboardBinary(), {QStringLiteral("--about")}).exitCode, 0);
    QString help;
    QVERIFY(XSession::waitFor([&] {
        help = m_session.findWindowByName(helpTitle);
        return !help.isEmpty() && isViewable(help);
    }));
    QCOMPARE(m_session.windowGeometry(help).mid(2), (QList<int>{380, 480}));
    QVERIFY(settledScreenshot(artifacts.filePath(QStringLiteral("help-about-%1.png").arg(language)), help));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "e2e_settings.moc"
