#include "WestonSession.h"

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

bool WestonSession::start(QString* error) {
    // Made the way X servers make it: root's, writable by all, sticky.
    if (!QFileInfo::exists(socketFolder) &&
        !(QDir().mkpath(socketFolder) && ::chmod(QFile::encodeName(socketFolder).constData(), 01777) == 0)) {
        *error = QStringLiteral("%1 is missing and cannot be made").arg(socketFolder);
        return false;
    }
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::MergedChannels);
    // Xwayland starts with the first X client; weston says its display at once.
    startIn(
        *m_server, QStringLiteral("weston"),
        words(QStringLiteral("--backend=headless-backend.so --shell=kiosk-shell.so --width=1280 --height=800 "
                             "--xwayland --no-config --socket=") +
              waylandDisplay),
        baseEnvironment());
    const QRegularExpression listening(QStringLiteral("xserver listening on display (:\\d+)"));
    QString said;
    QRegularExpressionMatch match;
    const auto listens = [&] {
        said += QString::fromLocal8Bit(m_server->readAll());
        return (match = listening.match(said)).hasMatch();
    };
    if (!m_server->waitForStarted(5000) || !waitFor(listens, 15000)) {
        *error = QStringLiteral("weston did not start with Xwayland: %1").arg(said);
        return false;
    }
    m_display = match.captured(1);
    return true;
}

QProcessEnvironment WestonSession::environment() const {
    QProcessEnvironment env = baseEnvironment();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), waylandDisplay);
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

bool WestonSession::focusWindow(const QString& windowId) {
    return waitFor([&] {
        return xdotool(QStringLiteral("getmouselocation --shell"))
            .split(u'\n')
            .contains(QStringLiteral("WINDOW=") + windowId);
    });
}
