#include "platform/kde/LineConnection.h"

#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

LineConnection::LineConnection(int fd, qsizetype maximumLineBytes, QObject* parent)
    : QObject(parent)
    , m_fd(fd)
    , m_maximumLineBytes(maximumLineBytes)
    , m_readable(new QSocketNotifier(fd, QSocketNotifier::Read, this))
    , m_writable(new QSocketNotifier(fd, QSocketNotifier::Write, this)) {
    m_writable->setEnabled(false);
    connect(m_readable, &QSocketNotifier::activated, this, &LineConnection::readAvailable);
    connect(m_writable, &QSocketNotifier::activated, this, &LineConnection::writeQueued);
}

LineConnection::~LineConnection() {
    close();
}

void LineConnection::close() {
    if (m_fd < 0)
        return;
    // This may run within a notifier's own signal: switched off now, before the
    // descriptor is closed and may be given to another.
    m_readable->setEnabled(false);
    m_writable->setEnabled(false);
    ::close(m_fd);
    m_fd = -1;
    m_received.clear();
    m_unsent.clear();
}

void LineConnection::send(const QByteArray& bytes) {
    if (m_fd < 0)
        return;
    m_unsent += bytes;
    writeQueued();
}

void LineConnection::writeQueued() {
    const bool wasHeldUp = m_writable->isEnabled();
    while (m_fd >= 0 && !m_unsent.isEmpty()) {
        const ssize_t n = ::send(m_fd, m_unsent.constData(), size_t(m_unsent.size()), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_readable->setEnabled(false);
            m_writable->setEnabled(true);
            return;
        }
        if (n <= 0) {
            end(End::Hangup);
            return;
        }
        m_unsent.remove(0, n);
    }
    if (m_fd < 0 || !wasHeldUp)
        return;
    m_writable->setEnabled(false);
    m_readable->setEnabled(true);
    // Lines that came in one piece with the one last answered wait here, not in the socket.
    if (!m_received.isEmpty())
        QMetaObject::invokeMethod(
            this, [this] { takeLines(); }, Qt::QueuedConnection);
}

void LineConnection::readAvailable() {
    while (m_fd >= 0 && m_unsent.isEmpty()) {
        char buffer[65536];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            end(End::Hangup); // a line the peer did not finish is no line
            return;
        }
        m_received.append(buffer, n);
        if (!takeLines())
            return;
    }
}

bool LineConnection::takeLines() {
    qsizetype start = 0;
    qsizetype newline;
    while (m_fd >= 0 && m_unsent.isEmpty() && (newline = m_received.indexOf('\n', start)) >= 0) {
        const QByteArray line = m_received.mid(start, newline - start);
        start = newline + 1;
        if (line.size() > m_maximumLineBytes) {
            end(End::LineTooLong);
            return false;
        }
        Q_EMIT lineReceived(line);
    }
    if (m_fd < 0)
        return false;
    m_received.remove(0, start);
    if (m_received.size() > m_maximumLineBytes && m_received.indexOf('\n') < 0) {
        end(End::LineTooLong);
        return false;
    }
    return true;
}

void LineConnection::end(End end) {
    close();
    // From the event loop: a sender learns of it after send() has returned, as with any other end.
    QMetaObject::invokeMethod(
        this, [this, end] { Q_EMIT ended(end); }, Qt::QueuedConnection);
}
