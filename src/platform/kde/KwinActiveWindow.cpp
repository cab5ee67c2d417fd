#include "platform/kde/KwinActiveWindow.h"

#include "platform/Log.h"
#include "platform/RuntimeFolder.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>

namespace {
const QString kwinService = QStringLiteral("org.kde.KWin");
const QString scriptingPath = QStringLiteral("/Scripting");
const QString scriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
const QString pluginName = QStringLiteral("runeboard-active-window");
const QString objectPath = QStringLiteral("/org/runeboard/Runeboard/KwinActiveWindow");
// How long the first report may take before the active window is taken for an ordinary one.
constexpr int firstReportMs = 2000;

// Plasma 5 names the window a client, Plasma 6 a window; the script speaks to both.
const char* const scriptBody = R"(
function name(value) { return value ? String(value) : ""; }
function report(window) {
    callDBus(target[0], target[1], target[2], "Activated", name(window && window.resourceClass),
             name(window && window.resourceName), name(window && window.desktopFileName));
}
(workspace.windowActivated || workspace.clientActivated).connect(report);
report(workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient);
)";

QDBusMessage scriptingCall(const QString& method, const QString& path = scriptingPath,
                           const QString& interface = scriptingInterface) {
    return QDBusMessage::createMethodCall(kwinService, path, interface, method);
}
} // namespace

KwinActiveWindow::KwinActiveWindow(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus)) {
    // Loaded once the event loop runs, so that start-up does not wait for KWin.
    QMetaObject::invokeMethod(this, &KwinActiveWindow::load, Qt::QueuedConnection);
}

KwinActiveWindow::~KwinActiveWindow() {
    if (!m_kwin.isEmpty()) {
        // A script left behind would keep calling a Runeboard that is gone; a hung KWin costs a second.
        m_bus.call(scriptingCall(QStringLiteral("unloadScript")) << pluginName, QDBus::Block, 1000);
        m_bus.unregisterObject(objectPath);
    }
    if (!m_scriptPath.isEmpty())
        QFile::remove(m_scriptPath);
}

bool KwinActiveWindow::isTerminal(const QStringList& names) {
    // Programs that paste the clipboard only on Ctrl+Shift+V, by resource class, executable, app id
    // or desktop file; a reverse-domain id counts by its last part too (org.kde.konsole).
    static const QSet<QString> terminals = {
        QStringLiteral("konsole"),
        QStringLiteral("yakuake"),
        QStringLiteral("foot"),
        QStringLiteral("footclient"),
        QStringLiteral("kitty"),
        QStringLiteral("alacritty"),
        QStringLiteral("wezterm"),
        QStringLiteral("wezterm-gui"),
        QStringLiteral("gnome-terminal"),
        QStringLiteral("gnome-terminal-server"),
        QStringLiteral("org.gnome.terminal"),
        QStringLiteral("org.gnome.console"),
        QStringLiteral("kgx"),
        QStringLiteral("ptyxis"),
        QStringLiteral("xfce4-terminal"),
        QStringLiteral("tilix"),
        QStringLiteral("terminator"),
        QStringLiteral("terminology"),
        QStringLiteral("qterminal"),
        QStringLiteral("lxterminal"),
        QStringLiteral("mate-terminal"),
        QStringLiteral("sakura"),
        QStringLiteral("guake"),
        QStringLiteral("tilda"),
        QStringLiteral("ghostty"),
        QStringLiteral("contour"),
        QStringLiteral("st"),
        QStringLiteral("st-256color"),
        QStringLiteral("urxvt"),
        QStringLiteral("xterm"),
        QStringLiteral("uxterm"),
        QStringLiteral("cool-retro-term"),
        QStringLiteral("blackbox"),
        QStringLiteral("deepin-terminal"),
        QStringLiteral("io.elementary.terminal"),
    };
    for (QString name : names) {
        name = name.trimmed().toLower();
        if (name.endsWith(QLatin1String(".desktop")))
            name.chop(8);
        if (!name.isEmpty() && (terminals.contains(name) || terminals.contains(name.section(u'.', -1))))
            return true;
    }
    return false;
}

bool KwinActiveWindow::declaresTerminal(const QString& desktopFileName) {
    // Any terminal a menu entry lists says so in its categories, whatever it is called.
    if (desktopFileName.isEmpty() || desktopFileName.contains(u'/'))
        return false;
    const QString name = desktopFileName.endsWith(QLatin1String(".desktop"))
                             ? desktopFileName
                             : desktopFileName + QStringLiteral(".desktop");
    auto known = m_declared.constFind(name);
    if (known != m_declared.cend())
        return *known;
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, name);
    QFile entry(path);
    bool terminal = false;
    if (!path.isEmpty() && entry.open(QIODevice::ReadOnly)) {
        for (QByteArray line = entry.readLine(); !line.isEmpty() && !terminal; line = entry.readLine()) {
            if (line.startsWith("Categories="))
                terminal = line.trimmed().mid(11).split(';').contains("TerminalEmulator");
        }
    }
    m_declared.insert(name, terminal);
    return terminal;
}

void KwinActiveWindow::Activated(const QString& resourceClass, const QString& resourceName,
                                 const QString& desktopFileName) {
    // Anyone on the session bus may call; only KWin's word decides which keys paste.
    if (m_kwin.isEmpty() || message().service() != m_kwin) {
        sendErrorReply(QDBusError::AccessDenied, QStringLiteral("only KWin reports the active window"));
        return;
    }
    m_terminal =
        isTerminal({resourceClass, resourceName, desktopFileName}) || declaresTerminal(desktopFileName);
    if (std::exchange(m_state, State::Following) == State::Loading)
        Q_EMIT settled();
}

void KwinActiveWindow::load() {
    QString why;
    const QString folder = RuntimeFolder::path(&why);
    if (!m_bus.isConnected())
        return giveUp(QStringLiteral("there is no session bus"));
    if (folder.isEmpty())
        return giveUp(why);
    if (!m_bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots))
        return giveUp(QStringLiteral("cannot serve %1 on the session bus").arg(objectPath));
    const QByteArray target =
        QJsonDocument(QJsonArray{m_bus.baseService(), objectPath,
                                 QStringLiteral("org.runeboard.Runeboard.KwinActiveWindow")})
            .toJson(QJsonDocument::Compact);
    // KWin runs what this file says: it lives in the user's private runtime folder.
    QSaveFile file(folder + QStringLiteral("/kwin-active-window.js"));
    if (!file.open(QIODevice::WriteOnly) || file.write("var target = " + target + ";" + scriptBody) < 0 ||
        !file.commit())
        return giveUp(QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
    m_scriptPath = file.fileName();

    // One left by a Runeboard that did not quit cleanly would keep the name taken.
    m_bus.send(scriptingCall(QStringLiteral("unloadScript")) << pluginName);
    auto* loading = new QDBusPendingCallWatcher(
        m_bus.asyncCall(scriptingCall(QStringLiteral("loadScript")) << m_scriptPath << pluginName), this);
    connect(loading, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<int> id = *call;
        if (id.isError())
            return giveUp(id.error().message());
        if (id.value() < 0)
            return giveUp(QStringLiteral("KWin refused the script"));
        m_kwin = id.reply().service();
        run(id.value());
    });
    QTimer::singleShot(firstReportMs, this, [this] {
        if (m_state == State::Loading)
            giveUp(QStringLiteral("KWin's script did not report the active window in time"));
    });
}

void KwinActiveWindow::run(int id) {
    // Plasma 5 puts the loaded script at /ID, Plasma 6 at /Scripting/ScriptID.
    const QString interface = QStringLiteral("org.kde.kwin.Script");
    auto* running = new QDBusPendingCallWatcher(
        m_bus.asyncCall(scriptingCall(QStringLiteral("run"), QStringLiteral("/%1").arg(id), interface)),
        this);
    connect(running, &QDBusPendingCallWatcher::finished, this,
            [this, id, interface](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (!call->isError())
                    return;
                auto* again = new QDBusPendingCallWatcher(
                    m_bus.asyncCall(scriptingCall(QStringLiteral("run"),
                                                  QStringLiteral("/Scripting/Script%1").arg(id), interface)),
                    this);
                connect(again, &QDBusPendingCallWatcher::finished, this,
                        [this](QDBusPendingCallWatcher* retry) {
                            retry->deleteLater();
                            if (retry->isError())
                                giveUp(retry->error().message());
                        });
            });
}

void KwinActiveWindow::giveUp(const QString& why) {
    if (m_state != State::Loading)
        return; // reports came: a later failure of the script's start-up changes nothing
    Log::line(QStringLiteral("[KwinActiveWindow] Pasting with Ctrl+V everywhere, which terminals and a held "
                             "Shift defeat: KWin does not say which window is active (%1)")
                  .arg(why));
    m_state = State::Unavailable;
    Q_EMIT settled();
}
