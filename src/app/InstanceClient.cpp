#include "InstanceClient.h"

#include <QFile>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {
class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}
} // namespace

InstanceClient::Outcome InstanceClient::send(const QString& socketPath, const AppRequest& request,
                                             int answerTimeoutMs) {
    using Kind = Outcome::Kind;
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof(address.sun_path))
        return {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));

    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0)
        return {};
    int connected;
    do {
        connected = ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } while (connected != 0 && errno == EINTR);
    if (connected != 0)
        return {}; // no file, or a file nobody listens on: a crash left it
    const QByteArray line = request.encode();
    if (line.size() > AppRequest::maximumLineBytes)
        return {Kind::Answered,
                {2, QStringLiteral("runeboard: the text is too long to hand to the running Runeboard "
                                   "(%1 bytes as sent, at most %2).")
                        .arg(line.size())
                        .arg(AppRequest::maximumLineBytes)}};
    if (!writeAll(socket.get(), line))
        return {Kind::NoAnswer, {}};

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(answerTimeoutMs);
    QByteArray answer;
    while (!answer.contains('\n')) {
        int wait = -1;
        if (answerTimeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return {Kind::NoAnswer, {}};
            wait = static_cast<int>(left.count());
        }
        pollfd readable{socket.get(), POLLIN, 0};
        const int ready = ::poll(&readable, 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return {Kind::NoAnswer, {}};
        char buffer[4096];
        const ssize_t n = ::recv(socket.get(), buffer, sizeof(buffer), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {Kind::NoAnswer, {}};
        answer.append(buffer, n);
        if (answer.size() > 1024 * 1024)
            return {Kind::NoAnswer, {}};
    }
    const std::optional<AppReply> reply = AppReply::decode(answer.left(answer.indexOf('\n')));
    if (!reply)
        return {Kind::NoAnswer, {}};
    return {Kind::Answered, *reply};
}
