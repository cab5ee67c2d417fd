#include "SettingsFile.h"

#include "storage/IniFormat.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLockFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Writers rename in several steps; one look after they settle is enough.
constexpr int settleMs = 50;

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString mebibytes(qint64 bytes) {
    return QStringLiteral("%1 MiB").arg(double(bytes) / (1024 * 1024), 0, 'f', bytes % (1024 * 1024) ? 1 : 0);
}

QString tooLarge(qint64 bytes) {
    return QStringLiteral("it is %1, more than the %2 a configuration file may hold")
        .arg(mebibytes(bytes), mebibytes(SettingsFile::maximumBytes));
}

// Past a file-size limit (ulimit -f) the kernel ends a process with SIGXFSZ
// unless it is handled; handled, the write fails with EFBIG like one on a
// full disk, and the file is kept. A handler rather than SIG_IGN, because an
// ignored signal would stay ignored in the programs this one starts.
extern "C" void onFileSizeLimit(int) {}

void catchFileSizeLimit() {
    static const bool caught = [] {
        struct sigaction current {};
        if (::sigaction(SIGXFSZ, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            return false; // someone else decided already
        struct sigaction action {};
        action.sa_handler = onFileSizeLimit;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        return ::sigaction(SIGXFSZ, &action, nullptr) == 0;
    }();
    Q_UNUSED(caught);
}

QString writeProblem(int error, qsizetype size) {
    rlimit limit{};
    if (error == EFBIG && ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        rlim_t(size) > limit.rlim_cur)
        return QStringLiteral("%1: the settings take %2 bytes, and the file-size limit of this process "
                              "(ulimit -f) allows %3 bytes")
            .arg(errnoText(error))
            .arg(size)
            .arg(limit.rlim_cur);
    return errnoText(error);
}

// The permissions a new file gets, as for any file this process creates.
mode_t newFileMode() {
    // Read where the kernel shows it rather than set and set back, which
    // would give other threads' new files the wrong permissions meanwhile.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            bool ok = false;
            const uint mask = line.startsWith("Umask:") ? line.mid(6).trimmed().toUInt(&ok, 8) : 0;
            if (ok)
                return 0666 & ~mode_t(mask);
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// The file a write replaces: a symlinked configuration (a dotfiles folder,
// say) stays a symlink, and its target is what gets replaced.
QString writeTarget(const QString& path) {
    if (const QFileInfo link(path); link.isSymLink())
        return link.canonicalFilePath().isEmpty() ? link.symLinkTarget() : link.canonicalFilePath();
    return path;
}

// The six characters mkstemp puts in a name. Chosen at random, they almost
// always mix cases or digits, which a name a person gives ("backup") does not.
bool isRandomSuffix(QStringView suffix) {
    bool lower = false, upper = false, digit = false;
    for (const QChar c : suffix) {
        lower = lower || (c >= u'a' && c <= u'z');
        upper = upper || (c >= u'A' && c <= u'Z');
        digit = digit || (c >= u'0' && c <= u'9');
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return false;
    }
    return suffix.size() == 6 && int(lower) + int(upper) + int(digit) >= 2;
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
    if (info.st_size > SettingsFile::maximumBytes) {
        ::close(fd);
        return {Status::Refused, {}, tooLarge(info.st_size)};
    }
    contents.bytes.reserve(info.st_size);
    char buffer[65536];
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
        if (contents.bytes.size() > SettingsFile::maximumBytes) { // grown while read
            contents = {Status::Refused, {}, tooLarge(contents.bytes.size())};
            break;
        }
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
    catchFileSizeLimit();
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
    if (bytes.size() > maximumBytes) {
        *error = QStringLiteral("the settings take %1, more than the %2 a configuration file may hold")
                     .arg(mebibytes(bytes.size()), mebibytes(maximumBytes));
        return false;
    }
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("the folder %1 cannot be created").arg(folder);
        return false;
    }
    const QByteArray targetName = QFile::encodeName(writeTarget(m_path));
    struct stat info {};
    const bool exists = ::stat(targetName.constData(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        *error = QStringLiteral("it is %1, not a regular file").arg(kindOf(info.st_mode));
        return false;
    }
    // The new text goes to a temporary file beside it (readable by nobody
    // else until it is complete), which replaces the old one only once all of
    // it is on disk.
    QByteArray temporary = targetName + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = errnoText(errno);
        return false;
    }
    int failure = 0;
    if (!writeAll(fd, bytes) || ::fchmod(fd, exists ? info.st_mode & 07777 : newFileMode()) != 0)
        failure = errno;
    if (::close(fd) != 0 && !failure)
        failure = errno;
    if (!failure && ::rename(temporary.constData(), targetName.constData()) != 0)
        failure = errno;
    if (failure) {
        *error = writeProblem(failure, bytes.size());
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

QStringList SettingsFile::removeLeftovers() {
    const QFileInfo target(writeTarget(m_path));
    const QDir folder = target.absoluteDir();
    const QString prefix = target.fileName() + u'.';
    QList<QByteArray> candidates;
    for (const QString& name :
         folder.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QByteArray path = QFile::encodeName(folder.filePath(name));
        struct stat info {};
        // mkstemp makes them 0600, and a write sets the final permissions
        // only once all is written.
        if (isRandomSuffix(QStringView(name).sliced(prefix.size())) &&
            ::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            (info.st_mode & 07777) == 0600)
            candidates.append(path);
    }
    QString unused;
    if (candidates.isEmpty() || !lock(0, &unused))
        return {};
    QStringList removed;
    for (const QByteArray& path : candidates) {
        const Contents contents = readRegular(QFile::decodeName(path));
        const QByteArray whole = contents.bytes.left(contents.bytes.lastIndexOf('\n') + 1);
        if (contents.status == Contents::Status::Read && IniFormat::parse(whole).rejectedLines.isEmpty() &&
            ::unlink(path.constData()) == 0)
            removed.append(QFileInfo(QFile::decodeName(path)).fileName());
    }
    unlock();
    return removed;
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
