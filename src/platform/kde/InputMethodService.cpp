#include "platform/kde/InputMethodService.h"

#include "platform/Log.h"
#include "platform/RuntimeFolder.h"

#include "platform/kde/LineConnection.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {
constexpr int acceptRetryMs = 1000;
constexpr std::pair<InputMethodService::Outcome, const char*> answers[] = {
    {InputMethodService::Outcome::Typed, "typed"},
    {InputMethodService::Outcome::NoField, "no-field"},
    {InputMethodService::Outcome::Unsure, "unsure"},
};
} // namespace

InputMethodService::InputMethodService(Commit commit, QObject* parent)
    : QObject(parent)
    , m_commit(std::move(commit)) {}

InputMethodService::~InputMethodService() {
    close();
}

QString InputMethodService::socketPath(QString* error) {
    const QString folder = RuntimeFolder::path(error);
    if (folder.isEmpty())
        return {};
    // KWin may start its input method before Xwayland, so the Wayland display names the session.
    QString display =
        QFileInfo(qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"))).fileName();
    return folder + QStringLiteral("/input-method-") + display + QStringLiteral(".socket");
}

bool InputMethodService::listen(const QString& path, QString* error) {
    close();
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    if (native.isEmpty() || size_t(native.size()) >= sizeof address.sun_path) {
        *error = QStringLiteral("the socket path %1 is too long").arg(path);
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    ::unlink(native.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const bool bound =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    struct stat file {};
    // The folder is the user's alone already; the file says so too.
    if (!bound || ::chmod(native.constData(), 0600) != 0 || ::listen(fd, SOMAXCONN) != 0 ||
        ::stat(native.constData(), &file) != 0) {
        *error =
            QStringLiteral("cannot listen at %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        if (bound)
            ::unlink(native.constData()); // no socket file without a listener
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_path = path;
    m_listenFd = fd;
    m_device = file.st_dev;
    m_inode = file.st_ino;
    m_incoming = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_incoming, &QSocketNotifier::activated, this, &InputMethodService::accept);
    return true;
}

void InputMethodService::close() {
    if (m_listenFd < 0)
        return;
    m_incoming->setEnabled(false);
    m_incoming->deleteLater();
    m_incoming = nullptr;
    ::close(std::exchange(m_listenFd, -1));
    struct stat now {};
    const QByteArray native = QFile::encodeName(m_path);
    if (::stat(native.constData(), &now) == 0 && now.st_dev == m_device && now.st_ino == m_inode)
        ::unlink(native.constData());
}

QByteArray InputMethodService::request(const QString& text) {
    return text.toUtf8().toBase64() + '\n';
}

QByteArray InputMethodService::answer(Outcome outcome) {
    for (const auto& [known, word] : answers) {
        if (known == outcome)
            return QByteArray(word) + '\n';
    }
    return QByteArrayLiteral("unsure\n");
}

std::optional<InputMethodService::Outcome> InputMethodService::parseAnswer(QByteArrayView line) {
    for (const auto& [outcome, word] : answers) {
        if (line == word)
            return outcome;
    }
    return std::nullopt;
}

void InputMethodService::accept() {
    while (m_listenFd >= 0) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0 && (errno == EINTR || errno == ECONNABORTED))
            continue;
        if (fd < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            // Out of descriptors: the connection stays queued and the notifier would fire at once
            // again, so wait a moment rather than spin.
            Log::line(QStringLiteral("[InputMethodService] Cannot take a connection for now: ") +
                      QString::fromLocal8Bit(std::strerror(errno)));
            m_incoming->setEnabled(false);
            QTimer::singleShot(acceptRetryMs, this, [this] {
                if (m_incoming)
                    m_incoming->setEnabled(true);
            });
            return;
        }
        auto* client = new LineConnection(fd, maximumLineBytes, this);
        connect(client, &LineConnection::lineReceived, this,
                [this, client](const QByteArray& line) { serve(client, line); });
        connect(client, &LineConnection::ended, this, [client](LineConnection::End end) {
            // A sender gone before its line ended asked for nothing.
            if (end == LineConnection::End::LineTooLong)
                Log::line(
                    QStringLiteral("[InputMethodService] A request was too long; its sender is cut off"));
            client->deleteLater();
        });
    }
}

void InputMethodService::serve(LineConnection* client, const QByteArray& line) {
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(line, QByteArray::AbortOnBase64DecodingErrors);
    const QString text = QString::fromUtf8(decoded.decoded);
    if (!decoded || text.toUtf8() != decoded.decoded) {
        Log::line(QStringLiteral("[InputMethodService] A request was not text; its sender is cut off"));
        client->close();
        client->deleteLater();
        return;
    }
    client->send(answer(m_commit(text)));
}
