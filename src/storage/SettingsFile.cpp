#include "SettingsFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLockFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Writers rename in several steps; one look after they settle is enough.
constexpr int settleMs = 50;

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode) {
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

// Reads a regular file without ever waiting on a writer at the other end.
SettingsFile::Contents readRegular(const QString& path) {
    using Status = SettingsFile::Contents::Status;
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {Status::Absent, {}, {}};
        return {Status::Refused, {}, errnoText(errno)};
    }
    if (!S_ISREG(info.st_mode))
        return {
            Status::Refused, {}, QStringLiteral("it is %1, not a regular file").arg(kindOf(info.st_mode))};
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {errno == ENOENT ? Status::Absent : Status::Refused, {}, errnoText(errno)};
    SettingsFile::Contents contents{Status::Read, {}, {}};
    // Swapped for something else between the two looks.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return {Status::Refused, {}, QStringLiteral("it is not a regular file")};
    }
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            contents = {Status::Refused, {}, errnoText(errno)};
            break;
        }
        if (got == 0)
            break;
        contents.bytes.append(buffer, got);
    }
    ::close(fd);
    return contents;
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote == 0)
            errno = EIO;
        if (wrote <= 0)
            return false;
        done += wrote;
    }
    return ::fsync(fd) == 0;
}
} // namespace

SettingsFile::SettingsFile(QString path, QObject* parent)
    : QObject(parent)
    , m_path(std::move(path))
    , m_lock(std::make_unique<QLockFile>(m_path + QStringLiteral(".lock"))) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        rearm();
        Q_EMIT changedOnDisk();
    });
}

SettingsFile::~SettingsFile() = default;

SettingsFile::Contents SettingsFile::read() const {
    return readRegular(m_path);
}

bool SettingsFile::write(const QByteArray& bytes, QString* error) {
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("the folder %1 cannot be created").arg(folder);
        return false;
    }
    // A symlinked configuration (a dotfiles folder, say) stays a symlink:
    // its target is what gets replaced.
    QString target = m_path;
    if (const QFileInfo link(m_path); link.isSymLink())
        target = link.canonicalFilePath().isEmpty() ? link.symLinkTarget() : link.canonicalFilePath();
    const QByteArray targetName = QFile::encodeName(target);
    struct stat info {};
    const bool exists = ::stat(targetName.constData(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        *error = QStringLiteral("it is %1, not a regular file").arg(kindOf(info.st_mode));
        return false;
    }
    // The new text goes to a temporary file beside it, which replaces the old
    // one only once all of it is on disk.
    QByteArray temporary = targetName + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = errnoText(errno);
        return false;
    }
    int failure = 0;
    if (!writeAll(fd, bytes) || ::fchmod(fd, exists ? info.st_mode & 07777 : 0644) != 0)
        failure = errno;
    if (::close(fd) != 0 && !failure)
        failure = errno;
    if (!failure && ::rename(temporary.constData(), targetName.constData()) != 0)
        failure = errno;
    if (failure) {
        *error = errnoText(failure);
        ::unlink(temporary.constData());
        rearm();
        return false;
    }
    if (const int folderFd =
            ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    rearm();
    return true;
}

QString SettingsFile::keepCopy(const QByteArray& bytes, QString* error) {
    const QFileInfo original(m_path);
    const QString prefix = original.fileName() + QStringLiteral(".unreadable-");
    const QDir folder = original.absoluteDir();
    for (const QString& earlier :
         folder.entryList({prefix + u'*'}, QDir::Files | QDir::NoSymLinks | QDir::Hidden)) {
        const QString earlierPath = folder.filePath(earlier);
        if (QFileInfo(earlierPath).size() == bytes.size() && readRegular(earlierPath).bytes == bytes)
            return earlierPath;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    for (int attempt = 1; attempt <= 9; ++attempt) {
        QString copyPath = folder.filePath(prefix + stamp);
        if (attempt > 1)
            copyPath += u'-' + QString::number(attempt);
        const QByteArray name = QFile::encodeName(copyPath);
        // O_EXCL also refuses a symlink planted under this name.
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            *error = errnoText(errno);
            return {};
        }
        int failure = writeAll(fd, bytes) ? 0 : errno;
        if (::close(fd) != 0 && !failure)
            failure = errno;
        if (failure) {
            *error = errnoText(failure);
            ::unlink(name.constData());
            return {};
        }
        return copyPath;
    }
    *error = errnoText(EEXIST);
    return {};
}

bool SettingsFile::lock(int timeoutMs, QString* error) {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (m_lock->tryLock(timeoutMs))
        return true;
    // Only a lock that is there and stays is worth a word; one that cannot
    // even be created means the write that follows fails and says why.
    if (m_lock->error() == QLockFile::LockFailedError)
        *error = QStringLiteral("another process holds it, or it is no lock file");
    return false;
}

void SettingsFile::unlock() {
    if (m_lock->isLocked())
        m_lock->unlock();
}

void SettingsFile::startWatching() {
    if (m_watcher)
        return;
    m_watcher = new QFileSystemWatcher(this);
    const auto changed = [this] { m_settle.start(); };
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
    rearm();
}

void SettingsFile::rearm() {
    if (!m_watcher)
        return;
    // The folder tells of files renamed into place; the file itself of edits
    // made in place. A renamed-over file is a new one and needs a new watch.
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!m_watcher->directories().contains(folder) && QFileInfo(folder).isDir())
        m_watcher->addPath(folder);
    if (m_watcher->files().contains(m_path))
        m_watcher->removePath(m_path);
    if (QFileInfo(m_path).isFile())
        m_watcher->addPath(m_path);
}
