#include "platform/x11/BindingRecord.h"

#include "platform/DisplayName.h"
#include "platform/RuntimeFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString filePrefix = QStringLiteral("keymap-");

// Only a regular file of this user that nobody else may change, and of a size Runeboard writes.
bool isOwnRecord(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 022) == 0 &&
           info.st_size <= BindingRecord::maximumFileSize;
}
} // namespace

BindingRecord::BindingRecord(QString directory, QString display, QByteArray server, qint64 pid)
    : m_directory(std::move(directory))
    , m_display(normalizedDisplay(display))
    , m_server(std::move(server))
    , m_pid(pid)
    , m_path(m_directory.isEmpty()
                 ? QString()
                 : QDir(m_directory).filePath(filePrefix + QString::number(pid) + QStringLiteral(".json"))) {}

QString BindingRecord::normalizedDisplay(const QString& display) {
    const std::optional<DisplayName> name = DisplayName::parse(display);
    return name ? name->withoutScreen() : display;
}

bool BindingRecord::processIsRunning(qint64 pid, const QString& program) {
    if (pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno != EPERM))
        return false;
    // A killed process stays a zombie until its parent collects it, which a script or a
    // supervisor may do late or never; it binds nothing any more.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.read(4096);
        const qsizetype name = line.lastIndexOf(')'); // the program's name may hold anything
        const char state = name >= 0 && name + 2 < line.size() ? line.at(name + 2) : '?';
        if (state == 'Z' || state == 'X')
            return false;
    }
    const QString running = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    if (running.isEmpty() || program.isEmpty())
        return true; // cannot tell; better to leave its keys alone
    return QFileInfo(running).fileName() == QFileInfo(program).fileName();
}

bool BindingRecord::write(const Bindings& bindings) {
    if (bindings.isEmpty()) {
        remove();
        return true;
    }
    if (m_directory.isEmpty()) {
        m_error = QStringLiteral("there is no private runtime folder for it");
        return false;
    }
    QJsonObject keycodes;
    for (auto it = bindings.cbegin(); it != bindings.cend(); ++it) {
        QJsonArray keysyms;
        for (quint32 keysym : *it)
            keysyms.append(qint64(keysym));
        keycodes.insert(QString::number(it.key()), keysyms);
    }
    const QJsonObject root{{QStringLiteral("display"), m_display},
                           {QStringLiteral("server"), QString::fromLatin1(m_server)},
                           {QStringLiteral("pid"), m_pid},
                           {QStringLiteral("program"), QCoreApplication::applicationFilePath()},
                           {QStringLiteral("keycodes"), keycodes}};
    ::mkdir(QFile::encodeName(m_directory).constData(), 0700);
    if (!RuntimeFolder::isPrivate(m_directory, &m_error))
        return false;
    // The record matters only while this X server runs, and a crash of the machine takes the
    // server with it, so it is never synced to the disk: that took several milliseconds of
    // every first click. Renaming it into place still lets the next start read it whole.
    const QByteArray content = QJsonDocument(root).toJson(QJsonDocument::Compact);
    const QByteArray path = QFile::encodeName(m_path);
    const QByteArray staging = path + ".new";
    const int fd = ::open(staging.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool written = fd >= 0 && ::fchmod(fd, 0600) == 0;
    for (qsizetype done = 0; written && done < content.size();) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        done += n;
    }
    if (fd >= 0 && ::close(fd) != 0)
        written = false;
    if (!written || ::rename(staging.constData(), path.constData()) != 0) {
        m_error =
            QStringLiteral("cannot write %1: %2").arg(m_path, QString::fromLocal8Bit(::strerror(errno)));
        ::unlink(staging.constData());
        return false;
    }
    return true;
}

void BindingRecord::remove() {
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

QList<BindingRecord::Leftover>
BindingRecord::leftovers(const std::function<bool(qint64, const QString&)>& isRunning) const {
    QList<Leftover> found;
    if (m_server.isEmpty() || !RuntimeFolder::isPrivate(m_directory))
        return found;
    const QDir dir(m_directory);
    // Matched by hand: a name filter would compile a regular expression at every start.
    const QStringList names = dir.entryList(QDir::Files);
    for (const QString& name : names) {
        if (name.size() < filePrefix.size() + 5 || !name.startsWith(filePrefix) ||
            !name.endsWith(QLatin1String(".json")))
            continue;
        const QString path = dir.filePath(name);
        if (path == m_path || !isOwnRecord(path))
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject root = QJsonDocument::fromJson(file.read(maximumFileSize)).object();
        bool numeric = false;
        const qint64 pid = name.mid(filePrefix.size()).chopped(5).toLongLong(&numeric);
        if (!numeric || root.value(QStringLiteral("display")).toString() != m_display ||
            isRunning(pid, root.value(QStringLiteral("program")).toString()))
            continue;
        if (root.value(QStringLiteral("server")).toString().toLatin1() != m_server) {
            // Its server is gone (with every binding it had); this one only shares the name.
            file.remove();
            continue;
        }
        Leftover leftover{path, pid, {}};
        const QJsonObject keycodes = root.value(QStringLiteral("keycodes")).toObject();
        for (auto it = keycodes.begin(); it != keycodes.end(); ++it) {
            const int keycode = it.key().toInt();
            if (keycode < 8 || keycode > 255)
                continue;
            QList<quint32> keysyms;
            for (const QJsonValue& value : it.value().toArray()) {
                const qint64 keysym = value.toInteger(-1);
                if (keysym > 0 && keysym <= 0x1fffffff)
                    keysyms.append(quint32(keysym));
            }
            if (!keysyms.isEmpty())
                leftover.bindings.insert(quint8(keycode), keysyms);
        }
        found.append(leftover);
    }
    return found;
}

QList<quint8> BindingRecord::keycodesToClear(const Leftover& leftover, const KeymapSnapshot& keymap,
                                             const QHash<quint8, XkbKey>& keys, quint8 boundType) {
    // Whether a symbol is also on the layout says nothing about who bound this key (± is on the
    // keypad too, and plain letters are typed through spare keys like any other symbol); the
    // key's own shape does, and a key of a layout never has it.
    QList<quint8> keycodes;
    for (auto it = leftover.bindings.cbegin(); it != leftover.bindings.cend(); ++it) {
        const auto key = keys.constFind(it.key());
        const QList<quint32> bound = key == keys.cend() ? QList<quint32>() : key->boundSymbols(boundType);
        const bool recorded =
            std::all_of(bound.cbegin(), bound.cend(), [&](quint32 keysym) { return it->contains(keysym); });
        if (!bound.isEmpty() && recorded && !keymap.drivesModifier(it.key()))
            keycodes.append(it.key());
    }
    return keycodes;
}
