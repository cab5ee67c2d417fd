#include "platform/wayland/WaylandConnection.h"

#include "platform/Log.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace {
constexpr uint32_t keymapFormatXkbV1 = 1; // wl_keyboard.keymap_format.xkb_v1
} // namespace

WaylandConnection::WaylandConnection(wl_display* display)
    : m_display(display) {}

WaylandConnection::~WaylandConnection() {
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
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        *problem = {QStringLiteral("typing_wayland_cannot_connect"),
                    {qEnvironmentVariable("WAYLAND_DISPLAY"), QString::fromLocal8Bit(std::strerror(errno))}};
        return nullptr;
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    if (!connection->bindGlobals(problem, timeoutMs))
        return nullptr;
    connection->m_readable =
        new QSocketNotifier(wl_display_get_fd(display), QSocketNotifier::Read, connection.get());
    connect(connection->m_readable, &QSocketNotifier::activated, connection.get(),
            &WaylandConnection::readEvents);
    connection->m_writable =
        new QSocketNotifier(wl_display_get_fd(display), QSocketNotifier::Write, connection.get());
    connection->m_writable->setEnabled(false);
    connect(connection->m_writable, &QSocketNotifier::activated, connection.get(), &WaylandConnection::flush);
    return connection;
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
    if (self->m_initialSyncs > 0) {
        --self->m_initialSyncs;
        return;
    }
    Q_EMIT self->synced();
}

bool WaylandConnection::bindGlobals(UserText* problem, int timeoutMs) {
    static const wl_registry_listener listener = {&WaylandConnection::onGlobal,
                                                  &WaylandConnection::onGlobalRemove};
    static const wl_callback_listener syncListener = {&WaylandConnection::onSyncDone};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &listener, this);
    m_initialSyncs = 1;
    wl_callback_add_listener(wl_display_sync(m_display), &syncListener, this);

    // Only here, at start, does anything wait for the compositor; it is bounded.
    QDeadlineTimer deadline(timeoutMs);
    while (m_initialSyncs > 0) {
        if (wl_display_flush(m_display) < 0 && errno != EAGAIN)
            break;
        while (wl_display_prepare_read(m_display) != 0)
            wl_display_dispatch_pending(m_display);
        pollfd fd{wl_display_get_fd(m_display), POLLIN, 0};
        const int left = int(std::max<qint64>(0, deadline.remainingTime()));
        if (poll(&fd, 1, left) <= 0) {
            wl_display_cancel_read(m_display);
            break;
        }
        if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0)
            break;
    }
    if (m_initialSyncs > 0) {
        *problem = {QStringLiteral("typing_wayland_no_answer")};
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
    return m_broken || wl_display_get_error(m_display) != 0;
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
    if (!isBroken())
        wl_callback_add_listener(wl_display_sync(m_display), &syncListener, this);
}

void WaylandConnection::flush() {
    if (isBroken())
        return;
    if (wl_display_flush(m_display) >= 0) {
        m_writable->setEnabled(false);
        return;
    }
    if (errno == EAGAIN)
        m_writable->setEnabled(true); // the socket is full: go on once it takes more
    else
        fail();
}

void WaylandConnection::readEvents() {
    if (isBroken())
        return;
    // The notifier said the socket is readable, so reading does not block.
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0)
            return fail();
    }
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0)
        return fail();
    flush();
}

void WaylandConnection::fail() {
    if (m_broken)
        return;
    m_broken = true;
    m_readable->setEnabled(false);
    m_writable->setEnabled(false);
    Log::line(QStringLiteral("[WaylandConnection] The connection to the compositor is lost (%1)")
                  .arg(QString::fromLocal8Bit(std::strerror(wl_display_get_error(m_display)))));
    Q_EMIT broken();
}
