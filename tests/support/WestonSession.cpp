#include "WestonSession.h"

#include "SessionUser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>

namespace {
const QString waylandDisplay = QStringLiteral("wayland-1");
// Where X servers put their sockets. wlroots creates it when it is missing;
// weston only fails to bind there.
const QString socketFolder = QStringLiteral("/tmp/.X11-unix");
} // namespace

WestonSession::WestonSession() {
    // The temporary folder is root's and private; the session user works in it.
    QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7755));
    for (const QString& path : {m_dir.path(), runtimeDir(), configHome()})
        SessionUser::own(path);
}

QStringList WestonSession::commandLine(const QString& program, const QStringList& arguments) const {
    return SessionUser::commandLine(program, arguments);
}

bool WestonSession::start(QString* error) {
    // Made the way X servers make it: root's, writable by all, sticky.
    if (!QFileInfo::exists(socketFolder) &&
        !(QDir().mkpath(socketFolder) && ::chmod(QFile::encodeName(socketFolder).constData(), 01777) == 0)) {
        *error = QStringLiteral("%1 is missing and cannot be made").arg(socketFolder);
        return false;
    }
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    env.insert(QStringLiteral("HOME"), m_dir.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::MergedChannels);
    // Xwayland starts with the first X client; weston says its display at once.
    startIn(*m_server, QStringLiteral("weston"),
            {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--shell=kiosk-shell.so"),
             QStringLiteral("--width=1280"), QStringLiteral("--height=800"), QStringLiteral("--xwayland"),
             QStringLiteral("--socket=") + waylandDisplay, QStringLiteral("--no-config")},
            env);
    const QRegularExpression listening(QStringLiteral("xserver listening on display (:\\d+)"));
    QString said;
    QRegularExpressionMatch match;
    if (!m_server->waitForStarted(5000) || !waitFor(
                                               [&] {
                                                   said += QString::fromLocal8Bit(m_server->readAll());
                                                   match = listening.match(said);
                                                   return match.hasMatch();
                                               },
                                               15000)) {
        *error = QStringLiteral("weston did not start with Xwayland: %1").arg(said);
        return false;
    }
    m_display = match.captured(1);
    return true;
}

QProcessEnvironment WestonSession::environment() const {
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    env.insert(QStringLiteral("HOME"), m_dir.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), waylandDisplay);
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return env;
}

bool WestonSession::focusWindow(const QString& windowId) {
    return waitFor([&] {
        return xdotool({QStringLiteral("getmouselocation"), QStringLiteral("--shell")})
            .split(u'\n')
            .contains(QStringLiteral("WINDOW=") + windowId);
    });
}
