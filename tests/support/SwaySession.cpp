#include "SwaySession.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace {
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

bool SwaySession::start(QString* error) {
    const QString config = scratchPath(QStringLiteral("sway.conf"));
    // Xwayland starts with the first X client; DISPLAY is known at once, and so is the IPC socket.
    if (!writeFile(config, "output HEADLESS-1 resolution 1280x800 position 0 0\n"
                           "default_border none\n"
                           "exec sh -c 'echo \"$DISPLAY $SWAYSOCK\" > \"$XDG_RUNTIME_DIR/said\"'\n"))
        return false;
    QProcessEnvironment env = baseEnvironment();
    env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    env.insert(QStringLiteral("WLR_HEADLESS_OUTPUTS"), QStringLiteral("1"));
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::MergedChannels);
    startIn(*m_server, QStringLiteral("sway"), {QStringLiteral("-c"), config}, env);
    const QString said = runtimeDir() + QStringLiteral("/said");
    if (!m_server->waitForStarted(5000) || !waitFor([&] { return readFile(said).endsWith(u'\n'); }, 15000)) {
        *error = QStringLiteral("sway did not start: %1").arg(QString::fromLocal8Bit(m_server->readAll()));
        return false;
    }
    m_display = readFile(said).section(u' ', 0, 0);
    m_ipc = readFile(said).section(u' ', 1).trimmed();
    // The seat's pointer, for the whole session and before any X client starts Xwayland (see the tool).
    m_pointer = std::make_unique<QProcess>();
    startIn(*m_pointer, toolPath(QStringLiteral("rb-wayland-pointer")), {}, environment());
    if (!waitFor([&] { return m_pointer->canReadLine() && m_pointer->readLine() == "ok\n"; })) {
        *error = QStringLiteral("sway offers no virtual pointer: %1")
                     .arg(QString::fromLocal8Bit(m_pointer->readAllStandardError()));
        return false;
    }
    return true;
}

SwaySession::~SwaySession() {
    if (m_pointer)
        endProcess(*m_pointer); // while sway still runs
}

QProcessEnvironment SwaySession::environment() const {
    QProcessEnvironment env = baseEnvironment();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-1"));
    env.insert(QStringLiteral("SWAYSOCK"), m_ipc);
    env.insert(QStringLiteral("DISPLAY"), m_display);
    return env;
}

QString SwaySession::focusedWindow() {
    const QJsonObject node =
        focusedNode(QJsonDocument::fromJson(run(QStringLiteral("swaymsg"),
                                                {QStringLiteral("-t"), QStringLiteral("get_tree")}, 5000)
                                                .out.toUtf8())
                        .object());
    const QString appId = node.value(QStringLiteral("app_id")).toString();
    return !appId.isEmpty() ? appId
                            : node.value(QStringLiteral("window_properties"))
                                  .toObject()
                                  .value(QStringLiteral("class"))
                                  .toString();
}

bool SwaySession::startReceiver(const QString& outputFile, const QString& focused, const QString& program,
                                const QStringList& arguments, const QProcessEnvironment& env) {
    QFile::remove(outputFile);
    launch(program, arguments, env);
    return waitFor([&] { return QFileInfo::exists(outputFile) && focusedWindow().contains(focused); }, 15000);
}

bool SwaySession::startFoot(const QString& outputFile) {
    return startReceiver(outputFile, QStringLiteral("receiver-foot"), QStringLiteral("foot"),
                         {QStringLiteral("--app-id=receiver-foot"), QStringLiteral("sh"),
                          QStringLiteral("-c"), catInto, outputFile});
}

bool SwaySession::startLineEdit(const QString& outputFile, bool xwayland) {
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"),
               xwayland ? QStringLiteral("xcb") : QStringLiteral("wayland"));
    // Qt names a Wayland window by the program, an X11 one by its class: either way not the title.
    return startReceiver(outputFile, QStringLiteral("line-edit-receiver"),
                         toolPath(QStringLiteral("rb-line-edit-receiver")),
                         {outputFile, QStringLiteral("receiver")}, env);
}

bool SwaySession::click(int x, int y) {
    if (!m_pointer || m_pointer->state() != QProcess::Running)
        return false;
    m_pointer->write(QStringLiteral("%1 %2\n").arg(x).arg(y).toLatin1());
    return waitFor([&] { return m_pointer->canReadLine() && m_pointer->readLine() == "ok\n"; }, 10000);
}
