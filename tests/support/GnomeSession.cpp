#include "GnomeSession.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>

namespace {
const QString aidName = QStringLiteral("org.runeboard.TestAid");
const QString productUuid = QStringLiteral("typing@runeboard.org");
const QString aidUuid = QStringLiteral("test-aid@runeboard.org");

bool copyFolder(const QString& from, const QString& to) {
    if (!QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + u'/' + QDir(from).relativeFilePath(source);
        if (it.fileInfo().isDir() ? !QDir().mkpath(target) : !QFile::copy(source, target))
            return false;
    }
    return true;
}
} // namespace

GnomeSession::~GnomeSession() {
    endPrograms();
    // The shell first (it ends Xwayland), then the buses: dbus-run-session ends with its child.
    const qint64 shell = readFile(runtimeDir() + QStringLiteral("/shell.pid")).trimmed().toLongLong();
    if (shell > 0 && m_server && m_server->state() != QProcess::NotRunning)
        ::kill(pid_t(shell), SIGTERM);
    if (m_server && !m_server->waitForFinished(10000))
        endProcess(*m_server);
    if (m_systemBus)
        endProcess(*m_systemBus);
}

bool GnomeSession::installExtension(const QString& from, const QString& uuid, QString* error) {
    const QString to = m_dir.filePath(QStringLiteral(".local/share/gnome-shell/extensions/") + uuid);
    if (from.isEmpty() || !copyFolder(from, to)) {
        *error = QStringLiteral("cannot install the extension %1 from '%2'").arg(uuid, from);
        return false;
    }
    handOver(m_dir.filePath(QStringLiteral(".local")));
    return true;
}

bool GnomeSession::start(QString* error) {
    // From the folders of the source tree (CTest names them).
    if (!installExtension(qEnvironmentVariable("RUNEBOARD_GNOME_EXTENSION"), productUuid, error) ||
        !installExtension(qEnvironmentVariable("RUNEBOARD_GNOME_TEST_EXTENSION"), aidUuid, error))
        return false;

    QProcessEnvironment env = desktopEnvironment();
    // The machine has seats but no system bus; the shell gives up without one.
    const QString systemBus = runtimeDir() + QStringLiteral("/system-bus");
    m_systemBus = std::make_unique<QProcess>();
    startIn(*m_systemBus, QStringLiteral("dbus-daemon"),
            words(QStringLiteral("--session --nofork --address=unix:path=") + systemBus), env);
    if (!waitFor([&] { return QFileInfo::exists(systemBus); }, 15000)) {
        *error = QStringLiteral("the stand-in system bus did not start");
        return false;
    }
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=") + systemBus);
    // The extensions are on before the shell reads its settings; the session ends with the shell.
    const QString launch =
        QStringLiteral(
            "echo \"$DBUS_SESSION_BUS_ADDRESS\" > \"$XDG_RUNTIME_DIR/bus\"; "
            "gsettings set org.gnome.shell enabled-extensions \"['%1', '%2']\" && "
            "gsettings set org.gnome.shell disable-user-extensions false && "
            "echo $$ > \"$XDG_RUNTIME_DIR/shell.pid\" && "
            "exec gnome-shell --headless --wayland --virtual-monitor 1280x800 --wayland-display wayland-rb")
            .arg(productUuid, aidUuid);
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::MergedChannels);
    startIn(*m_server, QStringLiteral("dbus-run-session"), words(QStringLiteral("-- sh -c")) << launch, env);
    // Slow on a busy machine: the shell loads everything before it answers.
    if (!waitFor(
            [&] {
                return !(m_busAddress = readFile(runtimeDir() + QStringLiteral("/bus")).trimmed()).isEmpty();
            },
            30000) ||
        !waitFor([&] { return info().value(QStringLiteral("startingUp")) == QJsonValue(false); }, 90000)) {
        *error =
            QStringLiteral("GNOME Shell did not start: %1").arg(QString::fromLocal8Bit(m_server->readAll()));
        return false;
    }
    // It starts in the overview, where no window takes the focus, and shows it once started up.
    aid(QStringLiteral("HideOverview"));
    QJsonObject state;
    if (!waitFor([&] { return !(state = info()).value(QStringLiteral("overview")).toBool(true); }, 15000)) {
        *error = QStringLiteral("the overview stays open");
        return false;
    }
    m_display = state.value(QStringLiteral("display")).toString();
    m_xauthority = state.value(QStringLiteral("xauthority")).toString();
    if (m_display.isEmpty()) {
        *error = QStringLiteral("GNOME Shell started no Xwayland");
        return false;
    }
    return true;
}

QProcessEnvironment GnomeSession::environment() const {
    QProcessEnvironment env = desktopEnvironment();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-rb"));
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("XAUTHORITY"), m_xauthority);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    return env;
}

QProcessEnvironment GnomeSession::desktopEnvironment() const {
    QProcessEnvironment env = baseEnvironment();
    env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
    return env;
}

XSession::Result GnomeSession::gdbus(const QStringList& arguments) {
    return run(QStringLiteral("gdbus"), arguments, 15000);
}

XSession::Result GnomeSession::aid(const QString& method, const QStringList& arguments) {
    return gdbus(
        words(QStringLiteral("call --session --dest %1 --object-path /org/runeboard/TestAid --method %1.%2")
                  .arg(aidName, method)) +
        arguments);
}

QJsonObject GnomeSession::info() {
    const Result answer = aid(QStringLiteral("Info"));
    return QJsonDocument::fromJson(answer.out.section(u'\'', 1, -2).toUtf8()).object();
}

GnomeSession::Focus GnomeSession::focus() {
    const QJsonObject now = info();
    return {now.value(QStringLiteral("focus")).toString(), now.value(QStringLiteral("x11")).toBool(),
            now.value(QStringLiteral("textInput")).toBool()};
}

bool GnomeSession::startReceiver(const QString& title, const QString& outputFile, const QString& program,
                                 const QStringList& arguments, const QProcessEnvironment& env) {
    QFile::remove(outputFile);
    QProcess* receiver = launch(program, arguments, env);
    if (waitFor([&] { return QFileInfo::exists(outputFile) && focus().title == title; }, 30000))
        return true;
    qWarning("%s did not get the focus (the shell has '%s' focused): %s", qPrintable(title),
             qPrintable(focus().title), receiver->readAllStandardError().constData());
    return false;
}

bool GnomeSession::startGtkEntry(int version, const QString& outputFile, const QString& clipboard) {
    const QString title = QStringLiteral("receiver-%1").arg(++m_receivers);
    QStringList arguments{toolPath(QStringLiteral("rb-gtk-entry-receiver")), QString::number(version),
                          outputFile, title};
    if (!clipboard.isEmpty())
        arguments.append(clipboard);
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    return startReceiver(title, outputFile, arguments.takeFirst(), arguments, env);
}

bool GnomeSession::startLineEdit(const QString& outputFile) {
    const QString title = QStringLiteral("receiver-%1").arg(++m_receivers);
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    return startReceiver(title, outputFile, toolPath(QStringLiteral("rb-line-edit-receiver")),
                         {outputFile, title}, env);
}

bool GnomeSession::startXterm(const QString& outputFile) {
    const QString title = QStringLiteral("receiver-%1").arg(++m_receivers);
    return startReceiver(title, outputFile, QStringLiteral("xterm"),
                         words(QStringLiteral("-u8 -title %1 -e sh -c").arg(title)) << catInto << outputFile);
}

bool GnomeSession::click(const QList<QPoint>& points) {
    QStringList list;
    for (const QPoint& p : points)
        list.append(QStringLiteral("(%1.0, %2.0)").arg(p.x()).arg(p.y()));
    return aid(QStringLiteral("Click"), {u'[' + list.join(QStringLiteral(", ")) + u']'}).exitCode == 0;
}

bool GnomeSession::keys(const QList<uint>& press, const QList<uint>& release) {
    const auto array = [](const QList<uint>& codes) {
        QStringList list;
        for (uint code : codes)
            list.append(QString::number(code));
        return QStringLiteral("@au [") + list.join(QStringLiteral(", ")) + u']';
    };
    return aid(QStringLiteral("Keys"), {array(press), array(release)}).exitCode == 0;
}

QString GnomeSession::clipboardText() {
    return run(QStringLiteral("xclip"), words(QStringLiteral("-o -selection clipboard"))).out;
}
