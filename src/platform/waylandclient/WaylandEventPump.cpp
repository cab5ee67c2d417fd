#include "platform/waylandclient/WaylandEventPump.h"

#include "platform/Log.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <wayland-client.h>

WaylandEventPump::WaylandEventPump(wl_display* display, QString brokenLine, QObject* parent)
    : QObject(parent)
    , m_display(display)
    , m_brokenLine(std::move(brokenLine))
    , m_readable(new QSocketNotifier(wl_display_get_fd(display), QSocketNotifier::Read, this))
    , m_writable(new QSocketNotifier(wl_display_get_fd(display), QSocketNotifier::Write, this)) {
    m_writable->setEnabled(false);
    connect(m_readable, &QSocketNotifier::activated, this, &WaylandEventPump::readEvents);
    connect(m_writable, &QSocketNotifier::activated, this, &WaylandEventPump::flush);
}

bool WaylandEventPump::isBroken() const {
    return m_broken || wl_display_get_error(m_display) != 0;
}

bool WaylandEventPump::isWaiting() const {
    return m_writable->isEnabled();
}

bool WaylandEventPump::flush() {
    if (m_broken)
        return false;
    const bool wasFull = m_writable->isEnabled();
    if (wl_display_flush(m_display) >= 0) {
        m_writable->setEnabled(false);
        Q_EMIT flushed(wasFull);
    } else if (errno == EAGAIN) {
        m_writable->setEnabled(true); // the socket is full: go on once it takes more
        Q_EMIT flushed(false);
    } else {
        fail();
    }
    return !m_broken;
}

bool WaylandEventPump::roundtrip() {
    if (isBroken() || wl_display_roundtrip(m_display) < 0)
        fail();
    return !m_broken;
}

void WaylandEventPump::readEvents() {
    if (m_broken)
        return;
    // An owner's roundtrip may have read the events already: never block on an empty socket.
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0)
            return fail();
    }
    pollfd ready{wl_display_get_fd(m_display), POLLIN, 0};
    if (::poll(&ready, 1, 0) > 0) {
        if (wl_display_read_events(m_display) < 0)
            return fail();
    } else {
        wl_display_cancel_read(m_display);
    }
    if (wl_display_dispatch_pending(m_display) < 0)
        return fail();
    flush();
}

void WaylandEventPump::fail() {
    if (m_broken)
        return;
    m_broken = true;
    m_readable->setEnabled(false);
    m_writable->setEnabled(false);
    Log::line(m_brokenLine.arg(QString::fromLocal8Bit(std::strerror(wl_display_get_error(m_display)))));
    Q_EMIT broken();
}
