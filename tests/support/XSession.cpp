#include "XSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

namespace {

void endProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(2000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

} // namespace

XSession::XSession() {
    QDir().mkpath(configHome());
    QDir().mkpath(runtimeDir());
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

XSession::~XSession() {
    // Programs first (Runeboard restores the keymap when it is asked to end), the server last.
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it)
        endProcess(**it);
    if (m_server)
        endProcess(*m_server);
}

bool XSession::start(QString* error, bool windowManager, const QString& screen) {
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::SeparateChannels);
    m_server->start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                     QStringLiteral("0"), screen, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                     QStringLiteral("-noreset")});
    if (!m_server->waitForStarted(5000)) {
        *error = QStringLiteral("Xvfb could not be started (%1); is the xvfb package installed?")
                     .arg(m_server->errorString());
        return false;
    }
    QByteArray out;
    QDeadlineTimer deadline(15000);
    while (!out.contains('\n') && !deadline.hasExpired() && m_server->state() == QProcess::Running) {
        m_server->waitForReadyRead(100);
        out += m_server->readAllStandardOutput();
    }
    const QString number = QString::fromLatin1(out).trimmed();
    if (number.isEmpty()) {
        *error = QStringLiteral("Xvfb did not report its display number: %1")
                     .arg(QString::fromLocal8Bit(m_server->readAllStandardError()));
        return false;
    }
    m_display = u':' + number;

    if (windowManager) {
        launch(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        const bool managed = waitFor(
            [this] { return xprop({}, QStringLiteral("_NET_SUPPORTING_WM_CHECK")).contains(u'#'); }, 15000);
        if (!managed) {
            *error = QStringLiteral("openbox did not start in display %1").arg(m_display);
            return false;
        }
    }
    return true;
}

QProcessEnvironment XSession::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("XDG_SESSION_TYPE"));
    return env;
}

QProcess* XSession::launch(const QString& program, const QStringList& arguments,
                           const QProcessEnvironment& env) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env.isEmpty() ? environment() : env);
    process->start(program, arguments);
    process->waitForStarted(5000);
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

XSession::Result XSession::run(const QString& program, const QStringList& arguments, int timeoutMs,
                               const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env.isEmpty() ? environment() : env);
    process.start(program, arguments);
    Result result;
    if (!process.waitForStarted(5000)) {
        result.err = process.errorString();
        return result;
    }
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished)
        endProcess(process);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString XSession::xdotool(const QStringList& arguments, int timeoutMs) {
    return run(QStringLiteral("xdotool"), arguments, timeoutMs).out.trimmed();
}

QString XSession::xprop(const QString& windowId, const QString& property) {
    QStringList arguments = windowId.isEmpty() ? QStringList{QStringLiteral("-root")}
                                               : QStringList{QStringLiteral("-id"), windowId};
    arguments.append(property);
    return run(QStringLiteral("xprop"), arguments).out.trimmed();
}

QString XSession::keymap() {
    return run(QStringLiteral("xmodmap"), {QStringLiteral("-pke")}).out;
}

QString XSession::activeWindow() {
    return xdotool({QStringLiteral("getactivewindow")});
}

QString XSession::findWindowByName(const QString& title) {
    const QString found =
        xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                 u'^' + QRegularExpression::escape(title) + u'$'});
    return found.section(u'\n', 0, 0);
}

QList<int> XSession::windowGeometry(const QString& windowId) {
    const QString shell = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), windowId});
    QList<int> geometry{-1, -1, -1, -1};
    const QStringList names{QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("WIDTH"),
                            QStringLiteral("HEIGHT")};
    for (const QString& line : shell.split(u'\n')) {
        const qsizetype index = names.indexOf(line.section(u'=', 0, 0));
        if (index >= 0)
            geometry[index] = line.section(u'=', 1).toInt();
    }
    return geometry;
}

QString XSession::waitForWindow(const QStringList& searchArguments, int timeoutMs) {
    QString window;
    waitFor(
        [&] {
            window = xdotool(QStringList{QStringLiteral("search"), QStringLiteral("--onlyvisible")} +
                             searchArguments)
                         .section(u'\n', 0, 0);
            return !window.isEmpty();
        },
        timeoutMs);
    return window;
}

QString XSession::startXtermReceiver(const QString& outputFile) {
    static int serial = 0;
    const QString title = QStringLiteral("receiver-xterm-%1").arg(++serial);
    QFile::remove(outputFile);
    // Canonical mode would hold the text back until a line feed; echo would only add noise.
    launch(QStringLiteral("xterm"),
           {QStringLiteral("-u8"), QStringLiteral("-title"), title, QStringLiteral("-geometry"),
            QStringLiteral("80x10+40+40"), QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("stty -icanon -echo; exec cat > \"$0\""), outputFile});
    const QString window = waitForWindow({QStringLiteral("--name"), u'^' + title + u'$'}, 15000);
    if (window.isEmpty() || !waitFor([&] { return QFileInfo::exists(outputFile); }, 10000))
        return {};
    return focusWindow(window) ? window : QString();
}

QString XSession::startLineEditReceiver(const QString& outputFile) {
    static int serial = 0;
    const QString title = QStringLiteral("receiver-line-edit-%1").arg(++serial);
    QFile::remove(outputFile);
    launch(toolPath(QStringLiteral("rb-line-edit-receiver")), {outputFile, title});
    const QString window = waitForWindow({QStringLiteral("--name"), u'^' + title + u'$'}, 15000);
    if (window.isEmpty() || !waitFor([&] { return QFileInfo::exists(outputFile); }, 10000))
        return {};
    return focusWindow(window) ? window : QString();
}

QProcess* XSession::startGtkEntryReceiver(QString* windowId) {
    static int serial = 0;
    const QString title = QStringLiteral("receiver-gtk-entry-%1").arg(++serial);
    QProcessEnvironment env = environment();
    // Without a session bus GTK would wait for the accessibility bus; it would also try Wayland first.
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
    QProcess* process =
        launch(QStringLiteral("zenity"), {QStringLiteral("--entry"), QStringLiteral("--title"), title}, env);
    if (process->state() != QProcess::Running)
        return nullptr;
    *windowId = waitForWindow({QStringLiteral("--name"), u'^' + title + u'$'}, 15000);
    if (windowId->isEmpty() || !focusWindow(*windowId))
        return nullptr;
    return process;
}

bool XSession::focusWindow(const QString& windowId) {
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), windowId}, 5000);
    return waitFor([&] { return activeWindow() == windowId; }, 5000);
}

bool XSession::screenshot(const QString& pngPath, const QString& windowId) {
    QStringList arguments{pngPath};
    if (!windowId.isEmpty())
        arguments.append(windowId);
    const Result result = run(toolPath(QStringLiteral("rb-screenshot")), arguments);
    return result.exitCode == 0 && QFileInfo::exists(pngPath);
}

bool XSession::waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
}

QString XSession::readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString XSession::waitForFileText(const QString& path, const QString& expected, int timeoutMs) {
    QString text;
    waitFor(
        [&] {
            text = readFile(path);
            return text == expected;
        },
        timeoutMs);
    return text;
}

QString XSession::runeboardBinary() {
    return qEnvironmentVariable("RUNEBOARD_BINARY");
}

QString XSession::toolPath(const QString& name) {
    return qEnvironmentVariable("RUNEBOARD_E2E_TOOLS") + u'/' + name;
}
