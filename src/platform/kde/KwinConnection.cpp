#include "platform/kde/KwinConnection.h"

#include "platform/waylandclient/WaylandEventPump.h"

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
    m_pump.reset(); // its notifiers go before the socket they watch
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
    connection->m_pump = std::make_unique<WaylandEventPump>(
        display, QStringLiteral("[KwinConnection] The connection to KWin is broken: %1"));
    connect(connection->m_pump.get(), &WaylandEventPump::broken, connection.get(), &KwinConnection::broken);
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

bool KwinConnection::isBroken() const {
    return m_pump->isBroken();
}

bool KwinConnection::pressKeys(const QList<quint32>& codes) {
    if (!m_fakeInput || isBroken())
        return false;
    for (quint32 code : codes)
        org_kde_kwin_fake_input_keyboard_key(m_fakeInput, code, keyPressed);
    for (auto code = codes.crbegin(); code != codes.crend(); ++code)
        org_kde_kwin_fake_input_keyboard_key(m_fakeInput, *code, keyReleased);
    return flush();
}

bool KwinConnection::flush() {
    return m_pump->flush();
}

bool KwinConnection::roundtrip() {
    return m_pump->roundtrip();
}
