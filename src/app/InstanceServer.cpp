#include "InstanceServer.h"

#include "platform/DisplayName.h"
#include "platform/Log.h"
#include "platform/RuntimeFolder.h"

#include <QDir>
#include <QLockFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <utility>

namespace {
// ":0", ":0.0" and "unix:0" name the same display; the screen does not matter.
QString displayName() {
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("no-display");
    if (const std::optional<DisplayName> name = DisplayName::parse(display))
        display = name->withoutScreen();
    QString safe = QStringLiteral("display");
    for (qsizetype i = 0; i < display.size(); ++i) {
        const QChar c = display.at(i);
        const bool kept = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
                          c == u'_' || c == u'-';
        // One character outside the plain set, however it is encoded, becomes one '_'.
        if (c.isHighSurrogate() && i + 1 < display.size() && display.at(i + 1).isLowSurrogate())
            ++i;
        safe += kept ? c : QChar(u'_');
    }
    return safe;
}
} // namespace

QString InstanceServer::socketPath(QString* error) {
    const QString folder = RuntimeFolder::path(error);
    if (folder.isEmpty())
        return {};
    const QString path = folder + u'/' + displayName() + QStringLiteral(".socket");
    if (static_cast<size_t>(QFile::encodeName(path).size()) >= sizeof(sockaddr_un::sun_path)) {
        *error = QStringLiteral("the socket path %1 is too long").arg(path);
        return {};
    }
    return path;
}

InstanceServer::InstanceServer(QObject* parent)
    : QObject(parent) {
    m_acceptRetry.setSingleShot(true);
    m_acceptRetry.setInterval(acceptRetryMs);
    connect(&m_acceptRetry, &QTimer::timeout, this, &InstanceServer::accept);
}

InstanceServer::~InstanceServer() {
    close();
}

void InstanceServer::close() {
    m_acceptRetry.stop();
    while (!m_open.empty())
        drop(m_open.begin()->first);
    // The socket file goes before the lock, so nobody finds a socket without an owner.
    delete std::exchange(m_incoming, nullptr);
    if (m_listenFd >= 0) {
        ::close(std::exchange(m_listenFd, -1));
        QFile::remove(m_path);
    }
    m_lock.reset();
}

bool InstanceServer::lock(const QString& socketPath) {
    m_path = socketPath;
    m_lock = std::make_unique<QLockFile>(socketPath + QStringLiteral(".lock"));
    // Only a dead owner makes a lock stale, however old it is.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    m_lock.reset();
    return false;
}

bool InstanceServer::listen(QString* error) {
    if (!m_lock) {
        *error = QStringLiteral("the instance lock is not held");
        return false;
    }
    const QByteArray native = QFile::encodeName(m_path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    // We hold the lock, so a socket file left here belongs to nobody alive.
    ::unlink(native.constData());
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(native.constData(), 0600) != 0 || ::listen(fd, maximumConnections) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    // A short queue too: a `runeboard` that arrives behind connections that
    // never speak waits for at most one round of them being dropped.
    m_listenFd = fd;
    m_incoming = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_incoming, &QSocketNotifier::activated, this, &InstanceServer::accept);
    return true;
}

bool InstanceServer::isListening() const {
    return m_listenFd >= 0;
}

void InstanceServer::accept() {
    if (m_listenFd < 0)
        return;
    // At most maximumConnections are open; the others wait in the kernel's queue.
    m_incoming->setEnabled(openConnections() < maximumConnections);
    while (openConnections() < maximumConnections) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                pauseAccepting(errno);
            return;
        }
        if (openConnections() + 1 >= maximumConnections)
            m_incoming->setEnabled(false);
        if (std::exchange(m_pauseReported, false))
            Log::line(QStringLiteral("[InstanceServer] Accepting requests again on %1").arg(m_path));
        const quint64 id = ++m_lastId;
        Connection& connection = m_open[id];
        connection.fd = fd;
        connection.readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(connection.readable, &QSocketNotifier::activated, this, [this, id] { readFrom(id); });
        connection.deadline = new QTimer(this);
        connection.deadline->setSingleShot(true);
        connect(connection.deadline, &QTimer::timeout, this, [this, id] { drop(id); });
        connection.deadline->start(idleTimeoutMs);
        readFrom(id);
    }
}

void InstanceServer::pauseAccepting(int error) {
    // Out of descriptors (or memory): the pending connection stays queued and
    // the notifier would fire at once again, so wait a moment instead of spinning.
    m_incoming->setEnabled(false);
    m_acceptRetry.start();
    if (!std::exchange(m_pauseReported, true))
        Log::line(QStringLiteral("[InstanceServer] Cannot accept requests on %1 for now (%2); trying again "
                                 "in a second")
                      .arg(m_path, QString::fromLocal8Bit(std::strerror(error))));
}

void InstanceServer::readFrom(quint64 id) {
    const auto found = m_open.find(id);
    if (found == m_open.end())
        return;
    Connection& connection = found->second;
    if (connection.requestTaken) {
        // One request per connection: whatever follows stays unread in the
        // socket, and only a hang-up (the sender gone) is still looked for.
        char byte;
        const ssize_t n = ::recv(connection.fd, &byte, 1, MSG_PEEK);
        if (n == 0)
            drop(id);
        else if (n > 0)
            connection.readable->setEnabled(false);
        return;
    }
    bool ended = false; // a sender may close right after its request; that request still counts
    while (!ended && connection.received.size() < AppRequest::maximumLineBytes) {
        char buffer[4096];
        const size_t room = size_t(AppRequest::maximumLineBytes - connection.received.size());
        const ssize_t n = ::recv(connection.fd, buffer, std::min(sizeof buffer, room), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n <= 0)
            ended = true;
        else
            connection.received.append(buffer, n);
    }
    const AppRequest::Framing framing = AppRequest::frame(connection.received);
    if (framing.kind == AppRequest::Framing::Kind::Incomplete) {
        if (ended) // gone before its request was complete
            drop(id);
        return;
    }
    const QByteArray line = connection.received.left(framing.length);
    connection.received = QByteArray();
    connection.requestTaken = true;
    connection.deadline->stop();

    QPointer<InstanceServer> server(this);
    Respond respond = [server, id](const AppReply& reply) {
        if (server)
            server->answer(id, reply);
    };
    if (framing.kind == AppRequest::Framing::Kind::TooLong) {
        respond({2, QStringLiteral("runeboard: the request is longer than the running Runeboard takes "
                                   "(%1 bytes).")
                        .arg(AppRequest::maximumLineBytes)});
        return;
    }
    const std::optional<AppRequest> request = AppRequest::decode(line);
    if (!request) {
        respond({2, QStringLiteral("The running Runeboard did not understand the request.")});
        return;
    }
    if (m_handler)
        m_handler(*request, std::move(respond));
    else
        respond({1, QStringLiteral("The running Runeboard is not ready yet.")});
}

void InstanceServer::answer(quint64 id, const AppReply& reply) {
    const auto found = m_open.find(id);
    if (found == m_open.end() || !found->second.unsent.isEmpty())
        return; // the sender is gone, or has its answer already
    found->second.unsent = reply.encode();
    writeTo(id);
}

void InstanceServer::writeTo(quint64 id) {
    const auto found = m_open.find(id);
    if (found == m_open.end())
        return;
    Connection& connection = found->second;
    while (!connection.unsent.isEmpty()) {
        const ssize_t n = ::send(connection.fd, connection.unsent.constData(),
                                 size_t(connection.unsent.size()), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!connection.writable) {
                connection.writable = new QSocketNotifier(connection.fd, QSocketNotifier::Write, this);
                connect(connection.writable, &QSocketNotifier::activated, this, [this, id] { writeTo(id); });
            }
            return;
        }
        if (n <= 0)
            break; // the sender hung up; the answer has nobody to go to
        connection.unsent.remove(0, n);
    }
    // Answered (or nobody left to answer): the connection ends, which tells the sender the answer is whole.
    drop(id);
}

void InstanceServer::drop(quint64 id) {
    const auto found = m_open.find(id);
    if (found == m_open.end())
        return;
    Connection connection = std::move(found->second);
    m_open.erase(found);
    // This may run within one of their own signals: they are switched off now
    // (before the descriptor is closed and may be given to another) and go later.
    for (QSocketNotifier* notifier : {connection.readable, connection.writable}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    connection.deadline->stop();
    connection.deadline->deleteLater();
    ::close(connection.fd);
    if (openConnections() < maximumConnections && m_incoming && !m_acceptRetry.isActive())
        m_incoming->setEnabled(true);
}
