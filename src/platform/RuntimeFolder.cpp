#include "platform/RuntimeFolder.h"

#include <QDir>
#include <QFile>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A folder of this user, followed through links: XDG_RUNTIME_DIR may be
// reached through /var/run, but one left over from another user (su, sudo -E)
// must not be used.
bool isOwnFolder(const QString& path) {
    struct stat info {};
    return QDir::isAbsolutePath(path) && ::stat(QFile::encodeName(path).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == ::getuid();
}

QString homeFolder() {
    const QString home = qEnvironmentVariable("HOME");
    if (QDir::isAbsolutePath(home))
        return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return QFile::decodeName(found->pw_dir);
}

// Like mkdir -p, but every folder it makes is private from the start.
bool makePath(const QString& path, QString* error) {
    QString sofar;
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        sofar += u'/' + part;
        if (::mkdir(QFile::encodeName(sofar).constData(), 0700) != 0 && errno != EEXIST) {
            *error = QStringLiteral("cannot create %1: %2").arg(sofar, systemError());
            return false;
        }
    }
    return true;
}

} // namespace

namespace RuntimeFolder {

QString path(QString* error) {
    QString ignored;
    QString& why = error ? *error : ignored;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString folder;
    if (isOwnFolder(runtime)) {
        folder = QDir::cleanPath(runtime) + QStringLiteral("/runeboard");
    } else {
        QString state = qEnvironmentVariable("XDG_STATE_HOME");
        if (!QDir::isAbsolutePath(state)) {
            const QString home = homeFolder();
            if (home.isEmpty()) {
                why = QStringLiteral("neither XDG_RUNTIME_DIR nor a home folder is known");
                return {};
            }
            state = home + QStringLiteral("/.local/state");
        }
        folder = QDir::cleanPath(state) + QStringLiteral("/runeboard/runtime");
    }
    if (!makePath(folder, &why) || !isPrivate(folder, &why))
        return {};
    return folder;
}

bool isPrivate(const QString& path, QString* why) {
    struct stat info {};
    QString problem;
    if (path.isEmpty())
        problem = QStringLiteral("no folder was named");
    else if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        problem = QStringLiteral("%1 cannot be read: %2").arg(path, systemError());
    else if (!S_ISDIR(info.st_mode))
        problem = QStringLiteral("%1 is not a folder (a symbolic link is not taken)").arg(path);
    else if (info.st_uid != ::getuid())
        problem = QStringLiteral("%1 belongs to another user (uid %2)").arg(path).arg(info.st_uid);
    else if ((info.st_mode & 077) != 0)
        problem = QStringLiteral("%1 may be opened by other users (mode %2; it must be 700)")
                      .arg(path, QString::number(info.st_mode & 0777, 8));
    if (why && !problem.isEmpty())
        *why = problem;
    return problem.isEmpty();
}

} // namespace RuntimeFolder
