#include "platform/wayland/WaylandTypingBackend.h"

#include "platform/typing/Keysyms.h"
#include "platform/wayland/VirtualKeymap.h"

#include <QCoreApplication>

WaylandTypingBackend::WaylandTypingBackend(std::unique_ptr<WaylandConnection> connection, QObject* parent)
    : EngineTypingBackend(m_device, parent)
    , m_connection(std::move(connection))
    , m_device(
          {[this](const QByteArray& keymap) {
               if (!m_connection->sendKeymap(keymap))
                   return false;
               m_connection->sync(); // its answer says the keymap has been passed on
               return true;
           },
           [this](quint32 code, bool pressed) { m_connection->sendKey(quint32(now()), code, pressed); }}) {
    connect(m_connection.get(), &WaylandConnection::synced, this, &WaylandTypingBackend::keymapDigested);
    connect(m_connection.get(), &WaylandConnection::broken, this,
            [this] { abandon(QStringLiteral("the connection to the Wayland compositor broke")); });
    // Typing that waits for a compositor which does not answer ends, and says so, instead of
    // waiting for as long as the compositor is stopped; what was sent may still arrive later.
    connect(m_connection.get(), &WaylandConnection::silent, this, [this] {
        abandon(QStringLiteral("the Wayland compositor has not answered for %1 seconds")
                    .arg(WaylandConnection::answerTimeoutMs / 1000));
    });
    m_started = m_device.sendEmptyKeymap();
    engine().adopt(VirtualKeymap::snapshot());
    holdUntil(now() + warmUpMs);
    flush();
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &WaylandTypingBackend::restoreNow);
}

WaylandTypingBackend::~WaylandTypingBackend() = default;

void WaylandTypingBackend::abandon(const QString& why) {
    if (engine().isIdle())
        return;
    const QString lost = Keysyms::textOf(engine().queued());
    engine().dropQueue();
    Q_EMIT deliveryFailed(lost, why);
    Q_EMIT idle();
}

UserText WaylandTypingBackend::unavailableReason() const {
    if (m_connection->isBroken())
        return {QStringLiteral("typing_wayland_connection_broken")};
    if (!m_started)
        return {QStringLiteral("typing_wayland_keymap_refused")};
    return {};
}
