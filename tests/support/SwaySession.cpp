#include "SwaySession.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <unistd.h>

namespace {
constexpr uid_t sessionUser = 65534; // nobody, on every Debian

bool asRoot() {
    return ::geteuid() == 0;
}

void own(const QString& path) {
    if (asRoot() && ::chown(QFile::encodeName(path).constData(), sessionUser, sessionUser) != 0)
        qWarning("cannot hand %s over", qPrintable(path));
}

void endProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

// The focused node of a sway tree, depth first.
QJsonObject focusedNode(const QJsonObject& node) {
    if (node.value(QStringLiteral("focused")).toBool())
        return node;
    for (const char* key : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(QLatin1String(key)).toArray()) {
            const QJsonObject found = focusedNode(child.toObject());
            if (!found.isEmpty())
                return found;
        }
    }
    return {};
}
} // namespace

SwaySession::SwaySession() {
    // The temporary folder is root's and private; the session user needs to pass through it.
    QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7755));
    m_runtime = m_dir.filePath(QStringLiteral("runtime"));
    for (const QString& name : {m_runtime, configHome(), scratchPath({})}) {
        QDir().mkpath(name);
        own(name);
    }
    QFile::setPermissions(m_runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

SwaySession::~SwaySession() {
    endPrograms();
    if (m_sway)
        endProcess(*m_sway);
}

void SwaySession::endPrograms() {
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it)
        endProcess(**it);
    m_processes.clear();
    m_pointer = nullptr;
}

QStringList SwaySession::asSessionUser(const QString& program, const QStringList& arguments,
                                       QString* command) const {
    if (!asRoot()) {
        *command = program;
        return arguments;
    }
    *command = QStringLiteral("setpriv");
    return QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                       QStringLiteral("--clear-groups"), program} +
           arguments;
}

bool SwaySession::start(QString* error) {
    const QString config = m_dir.filePath(QStringLiteral("sway.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Xwayland starts with the first X client; DISPLAY is known at once.
    file.write("output HEADLESS-1 resolution 1280x800 position 0 0\n"
               "default_border none\n"
               "exec sh -c 'echo \"$DISPLAY\" > \"$XDG_RUNTIME_DIR/display\"'\n");
    file.close();
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    env.insert(QStringLiteral("HOME"), scratchPath({}));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    env.insert(QStringLiteral("WLR_HEADLESS_OUTPUTS"), QStringLiteral("1"));
    m_sway = std::make_unique<QProcess>();
    m_sway->setProcessEnvironment(env);
    m_sway->setProcessChannelMode(QProcess::MergedChannels);
    QString command;
    const QStringList arguments =
        asSessionUser(QStringLiteral("sway"), {QStringLiteral("-c"), config}, &command);
    m_sway->start(command, arguments);
    const QString displayFile = m_runtime + QStringLiteral("/display");
    const bool up = m_sway->waitForStarted(5000) &&
                    XSession::waitFor(
                        [&] {
                            return QFileInfo::exists(m_runtime + QStringLiteral("/wayland-1")) &&
                                   !XSession::readFile(displayFile).trimmed().isEmpty();
                        },
                        15000);
    if (!up) {
        *error = QStringLiteral("sway did not start: %1").arg(QString::fromLocal8Bit(m_sway->readAll()));
        return false;
    }
    m_display = XSession::readFile(displayFile).trimmed();
    return true;
}

QProcessEnvironment SwaySession::environment() const {
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    env.insert(QStringLiteral("HOME"), scratchPath({}));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-1"));
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return env;
}

QProcess* SwaySession::launch(const QString& program, const QStringList& arguments,
                              const QProcessEnvironment& env) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env.isEmpty() ? environment() : env);
    QString command;
    const QStringList wrapped = asSessionUser(program, arguments, &command);
    process->start(command, wrapped);
    process->waitForStarted(5000);
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

XSession::Result SwaySession::run(const QString& program, const QStringList& arguments, int timeoutMs,
                                  const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env.isEmpty() ? environment() : env);
    QString command;
    const QStringList wrapped = asSessionUser(program, arguments, &command);
    process.start(command, wrapped);
    XSession::Result result;
    result.finished = process.waitForStarted(5000) && process.waitForFinished(timeoutMs);
    if (!result.finished)
        endProcess(process);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void SwaySession::handOver(const QString& path) {
    own(path);
    QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        own(it.next());
}

QJsonObject SwaySession::tree() {
    const QString socket = QDir(m_runtime).entryList({QStringLiteral("sway-ipc.*")}, QDir::System).value(0);
    const XSession::Result result = run(
        QStringLiteral("swaymsg"),
        {QStringLiteral("-s"), m_runtime + u'/' + socket, QStringLiteral("-t"), QStringLiteral("get_tree")},
        5000);
    return QJsonDocument::fromJson(result.out.toUtf8()).object();
}

QString SwaySession::focusedWindow() {
    const QJsonObject node = focusedNode(tree());
    if (node.value(QStringLiteral("type")).toString() != QLatin1String("con") &&
        node.value(QStringLiteral("type")).toString() != QLatin1String("floating_con"))
        return {};
    const QString appId = node.value(QStringLiteral("app_id")).toString();
    if (!appId.isEmpty())
        return appId;
    const QString x11Class =
        node.value(QStringLiteral("window_properties")).toObject().value(QStringLiteral("class")).toString();
    return x11Class.isEmpty() ? node.value(QStringLiteral("name")).toString() : x11Class;
}

bool SwaySession::startFoot(const QString& outputFile) {
    QFile::remove(outputFile);
    launch(QStringLiteral("foot"),
           {QStringLiteral("--app-id=receiver-foot"), QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("stty -icanon -echo; exec cat > \"$0\""), outputFile});
    return XSession::waitFor(
        [&] { return QFileInfo::exists(outputFile) && focusedWindow() == QLatin1String("receiver-foot"); },
        15000);
}

bool SwaySession::startLineEdit(const QString& outputFile, bool xwayland) {
    QFile::remove(outputFile);
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"),
               xwayland ? QStringLiteral("xcb") : QStringLiteral("wayland"));
    const QString title = xwayland ? QStringLiteral("receiver-xcb") : QStringLiteral("receiver-wayland");
    launch(XSession::toolPath(QStringLiteral("rb-line-edit-receiver")), {outputFile, title}, env);
    // Qt names a Wayland window by the program, an X11 one by its class: either way not the title.
    return XSession::waitFor(
        [&] {
            return QFileInfo::exists(outputFile) &&
                   focusedWindow().contains(QLatin1String("line-edit-receiver"));
        },
        15000);
}

bool SwaySession::click(int x, int y) {
    if (!m_pointer || m_pointer->state() != QProcess::Running)
        m_pointer = launch(XSession::toolPath(QStringLiteral("rb-wayland-pointer")), {});
    m_pointer->write(QStringLiteral("%1 %2\n").arg(x).arg(y).toLatin1());
    return XSession::waitFor([&] { return m_pointer->canReadLine() && m_pointer->readLine() == "ok\n"; },
                             10000);
}
