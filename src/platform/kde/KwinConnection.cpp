#include "platform/kde/KwinConnection.h"

#include "platform/Log.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace {
constexpr uint32_t keyPressed = 1; // wl_keyboard.key_state
constexpr uint32_t keyReleased = 0;
} // namespace

KwinConnection::KwinConnection(wl_display* display)
    : m_display(display) {}

KwinConnection::~KwinConnection() {
    delete m_readable;
    if (m_fakeInput)
        org_kde_kwin_fake_input_destroy(m_fakeInput);
    if (m_dataControl)
        zwlr_data_control_manager_v1_destroy(m_dataControl);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

std::unique_ptr<KwinConnection> KwinConnection::open(UserText* problem) {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        *problem = {QStringLiteral("typing_wayland_cannot_connect"),
                    {qEnvironmentVariable("WAYLAND_DISPLAY"), QString::fromLocal8Bit(std::strerror(errno))}};
        return nullptr;
    }
    std::unique_ptr<KwinConnection> connection(new KwinConnection(display));
    static const wl_registry_listener listener{&KwinConnection::onGlobal, &KwinConnection::onGlobalRemove};
    connection->m_registry = wl_display_get_registry(display);
    wl_registry_add_listener(connection->m_registry, &listener, connection.get());
    // The compositor was found answering before Qt started (PlatformChooser), so this returns.
    if (wl_display_roundtrip(display) < 0) {
        *problem = {QStringLiteral("typing_wayland_connection_broken")};
        return nullptr;
    }
    if (connection->m_fakeInput)
        org_kde_kwin_fake_input_authenticate(connection->m_fakeInput, "Runeboard",
                                             "types the symbols clicked on its keyboard");
    connection->m_readable =
        new QSocketNotifier(wl_display_get_fd(display), QSocketNotifier::Read, connection.get());
    connect(connection->m_readable, &QSocketNotifier::activated, connection.get(),
            &KwinConnection::readEvents);
    connection->flush();
    return connection;
}

void KwinConnection::onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                              uint32_t version) {
    auto* self = static_cast<KwinConnection*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat) {
        self->m_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
        self->m_fakeInput = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        self->m_dataControl = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    }
}

void KwinConnection::onGlobalRemove(void*, wl_registry*, uint32_t) {}

bool KwinConnection::pressKeys(const QList<quint32>& codes) {
    if (!m_fakeInput || m_broken)
        return false;
    for (quint32 code : codes)
        org_kde_kwin_fake_input_keyboard_key(m_fakeInput, code, keyPressed);
    for (auto code = codes.crbegin(); code != codes.crend(); ++code)
        org_kde_kwin_fake_input_keyboard_key(m_fakeInput, *code, keyReleased);
    return flush();
}

bool KwinConnection::flush() {
    if (m_broken)
        return false;
    // A few keys and a clipboard offer fit in the socket at once; only a hung KWin leaves them waiting.
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN)
        fail();
    return !m_broken;
}

bool KwinConnection::roundtrip() {
    if (m_broken || wl_display_roundtrip(m_display) < 0)
        fail();
    return !m_broken;
}

void KwinConnection::readEvents() {
    if (wl_display_dispatch(m_display) < 0)
        return fail();
    flush();
}

void KwinConnection::fail() {
    if (m_broken)
        return;
    m_broken = true;
    if (m_readable)
        m_readable->setEnabled(false);
    Log::line(QStringLiteral("[KwinConnection] The connection to KWin is broken: %1")
                  .arg(QString::fromLocal8Bit(std::strerror(wl_display_get_error(m_display)))));
    Q_EMIT broken();
}
