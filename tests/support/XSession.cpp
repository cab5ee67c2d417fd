#include "XSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

XSession::XSession() {
    QDir().mkpath(configHome());
    QDir().mkpath(runtimeDir());
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

XSession::~XSession() {
    // Programs first (Runeboard restores the keymap when it is asked to end), the server last.
    endPrograms();
    for (QProcess* process : {m_windowManager.get(), m_server.get()}) {
        if (process)
            endProcess(*process);
    }
}

void XSession::endProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

void XSession::endPrograms() {
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it)
        endProcess(**it);
    m_processes.clear();
}

bool XSession::start(QString* error, bool windowManager, const QString& screen) {
    m_server = std::make_unique<QProcess>();
    m_server->start(QStringLiteral("Xvfb"),
                    words(QStringLiteral("-displayfd 1 -screen 0 %1 -nolisten tcp -noreset").arg(screen)));
    QByteArray out;
    QDeadlineTimer deadline(15000);
    while (!out.contains('\n') && !deadline.hasExpired() && m_server->waitForStarted(5000)) {
        m_server->waitForReadyRead(100);
        out += m_server->readAllStandardOutput();
    }
    if (!out.contains('\n')) {
        *error = QStringLiteral("Xvfb did not report its display number (is it installed?): %1 %2")
                     .arg(m_server->errorString(), QString::fromLocal8Bit(m_server->readAllStandardError()));
        return false;
    }
    m_display = u':' + QString::fromLatin1(out).trimmed();
    if (windowManager) {
        m_windowManager = std::make_unique<QProcess>();
        startIn(*m_windowManager, m_windowManagerCommand.first(), m_windowManagerCommand.mid(1), {});
        if (!waitFor([this] { return xprop({}, QStringLiteral("_NET_SUPPORTING_WM_CHECK")).contains(u'#'); },
                     15000)) {
            *error = QStringLiteral("%1 did not start in display %2: %3")
                         .arg(m_windowManagerCommand.first(), m_display,
                              QString::fromLocal8Bit(m_windowManager->readAllStandardError()));
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

QStringList XSession::commandLine(const QString& program, const QStringList& arguments) const {
    return QStringList{program} + arguments;
}

void XSession::startIn(QProcess& process, const QString& program, const QStringList& arguments,
                       const QProcessEnvironment& env) const {
    process.setProcessEnvironment(env.isEmpty() ? environment() : env);
    const QStringList command = commandLine(program, arguments);
    process.start(command.first(), command.mid(1));
}

QProcess* XSession::launch(const QString& program, const QStringList& arguments,
                           const QProcessEnvironment& env) {
    m_processes.push_back(std::make_unique<QProcess>());
    startIn(*m_processes.back(), program, arguments, env);
    m_processes.back()->waitForStarted(5000);
    return m_processes.back().get();
}

XSession::Result XSession::run(const QString& program, const QStringList& arguments, int timeoutMs,
                               const QProcessEnvironment& env) {
    QProcess process;
    startIn(process, program, arguments, env);
    Result result;
    result.finished = process.waitForStarted(5000) && process.waitForFinished(timeoutMs);
    if (!result.finished)
        endProcess(process);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError()) +
                 (result.finished ? QString() : process.errorString());
    return result;
}

QString XSession::xprop(const QString& windowId, const QString& property) {
    const QStringList window = windowId.isEmpty() ? QStringList{QStringLiteral("-root")}
                                                  : QStringList{QStringLiteral("-id"), windowId};
    return run(QStringLiteral("xprop"), window + QStringList{property}).out.trimmed();
}

QString XSession::findWindowByName(const QString& title) {
    return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                    u'^' + QRegularExpression::escape(title) + u'$'})
        .section(u'\n', 0, 0);
}

QString XSession::waitForWindow(const QString& title, int timeoutMs) {
    QString window;
    waitFor([&] { return !(window = findWindowByName(title)).isEmpty(); }, timeoutMs);
    return window;
}

QList<int> XSession::windowGeometry(const QString& windowId) {
    // WINDOW=, then X=, Y=, WIDTH= and HEIGHT=, one a line.
    QList<int> geometry;
    for (const QString& line :
         xdotool(QStringLiteral("getwindowgeometry --shell ") + windowId).split(u'\n').mid(1, 4))
        geometry.append(line.section(u'=', 1).toInt());
    return geometry.size() == 4 ? geometry : QList<int>{-1, -1, -1, -1};
}

QString XSession::focusedReceiver(const QString& title, const QString& outputFile) {
    const QString window = waitForWindow(title);
    if (window.isEmpty() || !waitFor([&] { return outputFile.isEmpty() || QFileInfo::exists(outputFile); }))
        return {};
    return focusWindow(window) ? window : QString();
}

QString XSession::startXtermReceiver(const QString& outputFile) {
    const QString title = nextReceiverTitle();
    QFile::remove(outputFile);
    launch(QStringLiteral("xterm"),
           words(QStringLiteral("-u8 -title %1 -geometry 80x10+40+40 -e sh -c").arg(title))
               << catInto << outputFile);
    return focusedReceiver(title, outputFile);
}

QString XSession::startLineEditReceiver(const QString& outputFile) {
    const QString title = nextReceiverTitle();
    QFile::remove(outputFile);
    launch(toolPath(QStringLiteral("rb-line-edit-receiver")), {outputFile, title});
    return focusedReceiver(title, outputFile);
}

QProcess* XSession::startGtkEntryReceiver(QString* windowId) {
    const QString title = nextReceiverTitle();
    QProcessEnvironment env = environment();
    // Without a session bus GTK would wait for the accessibility bus; it would also try Wayland first.
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    env.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("x11"));
    QProcess* process =
        launch(QStringLiteral("zenity"), words(QStringLiteral("--entry --title ") + title), env);
    *windowId = focusedReceiver(title, {});
    return windowId->isEmpty() ? nullptr : process;
}

bool XSession::focusWindow(const QString& windowId) {
    xdotool(words(QStringLiteral("windowactivate --sync ") + windowId), 5000);
    return waitFor([&] { return activeWindow() == windowId; }, 5000);
}

bool XSession::screenshot(const QString& pngPath, const QString& windowId) {
    const QStringList window = windowId.isEmpty() ? QStringList() : QStringList{windowId};
    return run(toolPath(QStringLiteral("rb-screenshot")), QStringList{pngPath} + window).exitCode == 0 &&
           QFileInfo::exists(pngPath);
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
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool XSession::writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

QString XSession::waitForFileText(const QString& path, const QString& expected, int timeoutMs) {
    QString text;
    waitFor([&] { return (text = readFile(path)) == expected; }, timeoutMs);
    return text;
}
