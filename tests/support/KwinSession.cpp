#include "KwinSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>

namespace {
const QString socketName = QStringLiteral("wayland-rb-kde");
} // namespace

KwinSession::~KwinSession() {
    endPrograms();
    // KWin first (it ends Xwayland), then the bus: dbus-run-session ends with its child.
    const qint64 kwin = readFile(runtimeDir() + QStringLiteral("/kwin.pid")).trimmed().toLongLong();
    if (kwin > 0 && m_server && m_server->state() != QProcess::NotRunning)
        ::kill(pid_t(kwin), SIGTERM);
    if (m_server && !m_server->waitForFinished(10000))
        endProcess(*m_server);
}

bool KwinSession::authorise(const QString& program, const QString& name) {
    const QString folder = applicationsFolder();
    QFile entry(folder + u'/' + name + QStringLiteral(".desktop"));
    if (!QDir().mkpath(folder) || !entry.open(QIODevice::WriteOnly))
        return false;
    // KWin compares the absolute path of Exec's program with the client's executable.
    entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\nNoDisplay=true\n"
                               "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n")
                    .arg(name, QFileInfo(program).canonicalFilePath())
                    .toUtf8());
    entry.close();
    handOver(m_dir.filePath(QStringLiteral(".local")));
    return true;
}

QString KwinSession::findXwayland(qint64 kwin) const {
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid)).toUtf8();
        // "pid (comm) state ppid ..."
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (!stat.contains("(Xwayland)") || fields.value(1).toLongLong() != kwin)
            continue;
        const QList<QByteArray> arguments =
            readFile(QStringLiteral("/proc/%1/cmdline").arg(pid)).toUtf8().split('\0');
        for (const QByteArray& argument : arguments) {
            if (argument.startsWith(':'))
                return QString::fromUtf8(argument);
        }
    }
    return {};
}

bool KwinSession::start(QString* error) {
    // A copy carries no file capability, which a container refuses to grant at exec.
    const QString installed = QStandardPaths::findExecutable(QStringLiteral("kwin_wayland"));
    const QString kwin = m_dir.filePath(QStringLiteral("kwin_wayland"));
    if (installed.isEmpty() || !QFile::copy(installed, kwin)) {
        *error = QStringLiteral("kwin_wayland is not installed (scripts/install-deps desktops)");
        return false;
    }
    SessionUser::own(kwin);
    if (!authorise(runeboardBinary(), QStringLiteral("runeboard-e2e")) ||
        !authorise(toolPath(QStringLiteral("rb-kwin-input")), QStringLiteral("rb-kwin-input"))) {
        *error = QStringLiteral("cannot write the desktop files that let KWin lend fake input");
        return false;
    }
    if (!m_inputMethod.isEmpty()) {
        QFile kwinrc(configHome() + QStringLiteral("/kwinrc"));
        if (!kwinrc.open(QIODevice::WriteOnly) ||
            kwinrc.write(QStringLiteral("[Wayland]\nInputMethod=%1\n").arg(m_inputMethod).toUtf8()) < 0) {
            *error = QStringLiteral("cannot write kwinrc");
            return false;
        }
        kwinrc.close();
        handOver(configHome());
        handOver(applicationsFolder());
    }
    QProcessEnvironment env = desktopEnvironment();
    env.insert(QStringLiteral("KDE_SESSION_VERSION"), QStringLiteral("5"));
    const QString launch =
        QStringLiteral("echo \"$DBUS_SESSION_BUS_ADDRESS\" > \"$XDG_RUNTIME_DIR/bus\"; "
                       "echo $$ > \"$XDG_RUNTIME_DIR/kwin.pid\" && "
                       "exec \"$0\" --virtual --xwayland --socket %1 --width 1280 --height 800 "
                       "--no-lockscreen")
            .arg(socketName);
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::MergedChannels);
    startIn(*m_server, QStringLiteral("dbus-run-session"),
            {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"), launch, kwin}, env);
    qint64 pid = 0;
    if (!waitFor(
            [&] {
                m_busAddress = readFile(runtimeDir() + QStringLiteral("/bus")).trimmed();
                pid = readFile(runtimeDir() + QStringLiteral("/kwin.pid")).trimmed().toLongLong();
                return !m_busAddress.isEmpty() && pid > 0 &&
                       QFileInfo::exists(runtimeDir() + u'/' + socketName) &&
                       !(m_display = findXwayland(pid)).isEmpty();
            },
            60000)) {
        *error = QStringLiteral("KWin did not start: %1").arg(QString::fromLocal8Bit(m_server->readAll()));
        return false;
    }
    // Xwayland takes programs once it answers; the desktop files are read within a second or so.
    if (!waitFor([&] { return run(QStringLiteral("xprop"), {QStringLiteral("-root")}).exitCode == 0; },
                 30000) ||
        !waitFor([&] { return run(toolPath(QStringLiteral("rb-kwin-input")), {}).exitCode == 0; }, 30000)) {
        *error = QStringLiteral("KWin's Xwayland or fake input did not come up: %1")
                     .arg(QString::fromLocal8Bit(m_server->readAll()));
        return false;
    }
    if (!m_inputMethod.isEmpty() && !waitFor([&] { return QFileInfo::exists(inputMethodSocket()); }, 30000)) {
        *error = QStringLiteral("KWin did not start the input method: %1")
                     .arg(QString::fromLocal8Bit(m_server->readAll()));
        return false;
    }
    return true;
}

QProcessEnvironment KwinSession::desktopEnvironment() const {
    QProcessEnvironment env = baseEnvironment();
    env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
    env.insert(QStringLiteral("KDE_FULL_SESSION"), QStringLiteral("true"));
    return env;
}

QProcessEnvironment KwinSession::environment() const {
    QProcessEnvironment env = desktopEnvironment();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), socketName);
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    return env;
}

bool KwinSession::x11Active() {
    return !xprop(QString(), QStringLiteral("_NET_ACTIVE_WINDOW")).endsWith(QLatin1String("0x0"));
}

bool KwinSession::textInputFocused() {
    return run(QStringLiteral("gdbus"),
               {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                QStringLiteral("org.kde.KWin"), QStringLiteral("--object-path"),
                QStringLiteral("/VirtualKeyboard"), QStringLiteral("--method"),
                QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                QStringLiteral("org.kde.kwin.VirtualKeyboard"),
                QStringLiteral("activeClientSupportsTextInput")})
        .out.contains(QLatin1String("true"));
}

QString KwinSession::inputMethodSocket() const {
    return runtimeDir() + QStringLiteral("/runeboard/input-method-") + socketName + QStringLiteral(".socket");
}

bool KwinSession::enableInputMethod(bool on) {
    run(QStringLiteral("gdbus"),
        {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
         QStringLiteral("org.kde.KWin"), QStringLiteral("--object-path"), QStringLiteral("/VirtualKeyboard"),
         QStringLiteral("--method"), QStringLiteral("org.freedesktop.DBus.Properties.Set"),
         QStringLiteral("org.kde.kwin.VirtualKeyboard"), QStringLiteral("enabled"),
         on ? QStringLiteral("<true>") : QStringLiteral("<false>")});
    return waitFor([&] { return QFileInfo::exists(inputMethodSocket()) == on; }, 20000);
}

bool KwinSession::startGtkEntry(const QString& outputFile, const QString& clipboard, int version) {
    QFile::remove(outputFile);
    QStringList arguments{QString::number(version), outputFile,
                          QStringLiteral("receiver-%1").arg(++m_receivers)};
    if (!clipboard.isEmpty())
        arguments.append(clipboard);
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    launch(toolPath(QStringLiteral("rb-gtk-entry-receiver")), arguments, env);
    return waitFor([&] { return QFileInfo::exists(outputFile) && !x11Active(); }, 30000);
}

bool KwinSession::startLineEdit(const QString& outputFile) {
    QFile::remove(outputFile);
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    launch(toolPath(QStringLiteral("rb-line-edit-receiver")),
           {outputFile, QStringLiteral("receiver-%1").arg(++m_receivers)}, env);
    return waitFor([&] { return QFileInfo::exists(outputFile) && !x11Active(); }, 30000);
}

bool KwinSession::startKonsole(const QString& outputFile) {
    QFile::remove(outputFile);
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    launch(QStringLiteral("konsole"),
           words(QStringLiteral("--separate --hide-menubar -e sh -c")) << catInto << outputFile, env);
    return waitFor([&] { return QFileInfo::exists(outputFile) && !x11Active(); }, 30000);
}

bool KwinSession::startXterm(const QString& outputFile) {
    QFile::remove(outputFile);
    const QString title = QStringLiteral("receiver-%1").arg(++m_receivers);
    launch(QStringLiteral("xterm"), words(QStringLiteral("-u8 -title %1 -e sh -c").arg(title))
                                        << catInto << outputFile);
    return waitFor(
        [&] {
            const QString window = findWindowByName(title);
            return QFileInfo::exists(outputFile) && !window.isEmpty() && activeWindow() == window;
        },
        30000);
}

bool KwinSession::click(const QList<QPoint>& points) {
    QStringList steps;
    for (const QPoint& p : points)
        steps.append(QStringLiteral("click %1 %2").arg(p.x()).arg(p.y()));
    return run(toolPath(QStringLiteral("rb-kwin-input")), steps).exitCode == 0;
}

bool KwinSession::keys(const QList<uint>& press, const QList<uint>& release) {
    const auto step = [](const char* verb, const QList<uint>& codes) {
        QString text = QString::fromLatin1(verb);
        for (uint code : codes)
            text += u' ' + QString::number(code);
        return text;
    };
    return run(toolPath(QStringLiteral("rb-kwin-input")), {step("press", press), step("release", release)})
               .exitCode == 0;
}

QString KwinSession::clipboardText() {
    // KWin hands the clipboard to the X11 side only while an X11 window has the focus.
    return run(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline")}, 5000).out;
}
