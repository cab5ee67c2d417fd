#pragma once

#include <QFile>
#include <QStringList>

#include <unistd.h>

// Wayland compositors refuse to run as root, and their Xwayland admits only
// clients of the compositor's own user. So when the tests run as root (as CI
// does), a compositor session and every program in it run as `nobody`, whose
// uid and gid are 65534 on every Debian.
namespace SessionUser {

inline bool isRoot() {
    return ::geteuid() == 0;
}

// Hands a file or folder that root made over to the session user.
inline void own(const QString& path) {
    if (isRoot() && ::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0)
        qWarning("cannot hand %s over", qPrintable(path));
}

// The command line that runs a program as the session user.
inline QStringList commandLine(const QString& program, const QStringList& arguments) {
    if (!isRoot())
        return QStringList{program} + arguments;
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                       QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"), program} +
           arguments;
}

} // namespace SessionUser
