#include "platform/wayland/WaylandConnection.h"

#include "platform/waylandclient/WaylandEventPump.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <wayland-client.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace {
constexpr uint32_t keymapFormatXkbV1 = 1; // wl_keyboard.keymap_format.xkb_v1

QString displayName() {
    return qEnvironmentVariable("WAYLAND_DISPLAY");
}

UserText cannotConnect(int error) {
    return {QStringLiteral("typing_wayland_cannot_connect"),
            {displayName(), QString::fromLocal8Bit(std::strerror(error))}};
}

// Connects as wl_display_connect() does, but a compositor that takes no new
// connection (stopped, with its queue of connections full) is not waited for
// past the deadline.
wl_display* connectWithin(const QDeadlineTimer& deadline, UserText* problem) {
    if (qEnvironmentVariableIsSet("WAYLAND_SOCKET")) // a connection handed down: nothing to wait for
        return wl_display_connect(nullptr);
    QByteArray path = qgetenv("WAYLAND_DISPLAY");
    if (!path.startsWith('/')) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty()) {
            *problem = cannotConnect(ENOENT);
            return nullptr;
        }
        path = runtime + '/' + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path) {
        *problem = cannotConnect(ENAMETOOLONG);
        return nullptr;
    }
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *problem = cannotConnect(errno);
        return nullptr;
    }
    // A local socket connects at once or says EAGAIN while the compositor's queue is full.
    while (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error == EAGAIN && !deadline.hasExpired()) {
            ::poll(nullptr, 0, 20);
            continue;
        }
        ::close(fd);
        *problem = error == EAGAIN ? UserText{QStringLiteral("typing_wayland_no_answer"), {displayName()}}
                                   : cannotConnect(error);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK); // as libwayland's own sockets are
    wl_display* display = wl_display_connect_to_fd(fd);
    if (!display) {
        *problem = cannotConnect(errno);
        ::close(fd);
    }
    return display;
}

// Dispatches what the compositor sends until `done` holds; false when the
// deadline passes first or the connection fails.
bool dispatchUntil(wl_display* display, const bool& done, const QDeadlineTimer& deadline) {
    while (!done) {
        if (wl_display_flush(display) < 0 && errno != EAGAIN)
            return false;
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0)
                return false;
        }
        if (done) {
            wl_display_cancel_read(display);
            break;
        }
        pollfd fd{wl_display_get_fd(display), POLLIN, 0};
        const int ready = ::poll(&fd, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (ready <= 0) {
            wl_display_cancel_read(display);
            if (ready < 0 && errno == EINTR)
                continue;
            return false;
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
            return false;
    }
    return true;
}
} // namespace

WaylandConnection::WaylandConnection(wl_display* display)
    : m_display(display) {}

WaylandConnection::~WaylandConnection() {
    m_pump.reset(); // its notifiers go before the socket they watch
    if (m_keyboard)
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    if (m_manager)
        zwp_virtual_keyboard_manager_v1_destroy(m_manager);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display) {
        wl_display_flush(m_display);
        wl_display_disconnect(m_display);
    }
}

std::unique_ptr<WaylandConnection> WaylandConnection::open(UserText* problem, int timeoutMs) {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        *problem = {QStringLiteral("typing_wayland_not_set")};
        return nullptr;
    }
    const QDeadlineTimer deadline(timeoutMs);
    wl_display* display = connectWithin(deadline, problem);
    if (!display)
        return nullptr;
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    if (!connection->bindGlobals(problem, deadline))
        return nullptr;
    WaylandConnection* self = connection.get();
    self->m_pump = std::make_unique<WaylandEventPump>(
        display, QStringLiteral("[WaylandConnection] The connection to the compositor is lost (%1)"));
    connect(self->m_pump.get(), &WaylandEventPump::flushed, self, &WaylandConnection::watch);
    connect(self->m_pump.get(), &WaylandEventPump::broken, self, &WaylandConnection::broken);
    self->m_silence.setSingleShot(true);
    self->m_silence.setInterval(answerTimeoutMs);
    connect(&self->m_silence, &QTimer::timeout, self, &WaylandConnection::silent);
    return connection;
}

UserText WaylandConnection::probe(int timeoutMs) {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return {};
    const QDeadlineTimer deadline(timeoutMs);
    UserText problem;
    wl_display* display = connectWithin(deadline, &problem);
    if (!display)
        return problem;
    static const wl_callback_listener listener = {[](void* data, wl_callback* callback, uint32_t) {
        *static_cast<bool*>(data) = true;
        wl_callback_destroy(callback);
    }};
    bool answered = false;
    wl_callback_add_listener(wl_display_sync(display), &listener, &answered);
    if (!dispatchUntil(display, answered, deadline))
        problem = {QStringLiteral("typing_wayland_no_answer"), {displayName()}};
    wl_display_disconnect(display); // the callback, if still waiting, goes with it
    return problem;
}

void WaylandConnection::onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                                 uint32_t) {
    auto* self = static_cast<WaylandConnection*>(data);
    if (!self->m_seat && std::strcmp(interface, wl_seat_interface.name) == 0)
        self->m_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (!self->m_manager && std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        self->m_manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
}

void WaylandConnection::onGlobalRemove(void*, wl_registry*, uint32_t) {}

void WaylandConnection::onSyncDone(void* data, wl_callback* callback, uint32_t) {
    wl_callback_destroy(callback);
    auto* self = static_cast<WaylandConnection*>(data);
    if (!self->m_started) {
        self->m_started = true;
        return;
    }
    --self->m_awaited;
    self->watch(true);
    Q_EMIT self->synced();
}

bool WaylandConnection::bindGlobals(UserText* problem, const QDeadlineTimer& deadline) {
    static const wl_registry_listener listener = {&WaylandConnection::onGlobal,
                                                  &WaylandConnection::onGlobalRemove};
    static const wl_callback_listener syncListener = {&WaylandConnection::onSyncDone};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &listener, this);
    wl_callback_add_listener(wl_display_sync(m_display), &syncListener, this);
    // Only here, at start, does anything wait for the compositor; it is bounded.
    if (!dispatchUntil(m_display, m_started, deadline)) {
        *problem = {QStringLiteral("typing_wayland_no_answer"), {displayName()}};
        return false;
    }
    if (!m_manager || !m_seat) {
        *problem = {QStringLiteral("typing_wayland_no_virtual_keyboard")};
        return false;
    }
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, m_seat);
    wl_display_flush(m_display);
    return m_keyboard != nullptr;
}

bool WaylandConnection::isBroken() const {
    return m_pump->isBroken();
}

bool WaylandConnection::sendKeymap(const QByteArray& keymap) {
    if (isBroken())
        return false;
    const int fd = memfd_create("runeboard-keymap", MFD_CLOEXEC);
    if (fd < 0)
        return false;
    // The protocol wants the text with its terminating NUL.
    const qsizetype size = keymap.size() + 1;
    bool written = true;
    for (qsizetype done = 0; written && done < size;) {
        const ssize_t n = ::write(fd, keymap.constData() + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        done += n > 0 ? n : 0;
    }
    if (written)
        zwp_virtual_keyboard_v1_keymap(m_keyboard, keymapFormatXkbV1, fd, uint32_t(size));
    ::close(fd); // the request carries its own copy
    return written;
}

void WaylandConnection::sendKey(quint32 time, quint32 evdevCode, bool pressed) {
    if (!isBroken())
        zwp_virtual_keyboard_v1_key(m_keyboard, time, evdevCode, pressed ? 1 : 0);
}

void WaylandConnection::sync() {
    static const wl_callback_listener syncListener = {&WaylandConnection::onSyncDone};
    if (isBroken())
        return;
    wl_callback_add_listener(wl_display_sync(m_display), &syncListener, this);
    ++m_awaited;
    watch(false);
}

void WaylandConnection::flush() {
    m_pump->flush();
}

void WaylandConnection::watch(bool answered) {
    if (m_awaited == 0 && !m_pump->isWaiting())
        m_silence.stop();
    else if (answered || !m_silence.isActive())
        m_silence.start(); // the silence counts from the compositor's last sign of life
}
