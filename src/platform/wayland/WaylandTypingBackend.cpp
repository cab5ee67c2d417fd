#include "platform/wayland/WaylandTypingBackend.h"

#include "platform/typing/Keysyms.h"
#include "platform/wayland/VirtualKeymap.h"

#include <QCoreApplication>
#include <QEvent>

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
    engine().adopt(VirtualKeymap::snapshot());
    // The compositor hands a new keymap on to Xwayland, which compiles it and meanwhile answers
    // no X11 request, the panel's among them: the first one waits until a window is on screen.
    m_startLater.setSingleShot(true);
    connect(&m_startLater, &QTimer::timeout, this, &WaylandTypingBackend::startDevice);
    m_startLater.start(startDelayMs);
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
        connect(app, &QCoreApplication::aboutToQuit, this, &WaylandTypingBackend::restoreNow);
    }
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

bool WaylandTypingBackend::eventFilter(QObject* watched, QEvent* event) {
    // After the window's first frame has been drawn.
    if (event->type() == QEvent::Expose && !m_deviceStarted)
        QMetaObject::invokeMethod(this, &WaylandTypingBackend::startDevice, Qt::QueuedConnection);
    return TypingBackend::eventFilter(watched, event);
}

void WaylandTypingBackend::startDevice() {
    if (m_deviceStarted)
        return;
    m_deviceStarted = true;
    m_startLater.stop();
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    m_refused = !m_device.sendEmptyKeymap();
    holdUntil(now() + warmUpMs);
    flush();
}

bool WaylandTypingBackend::type(const QString& text) {
    startDevice();
    if (m_refused) {
        Q_EMIT deliveryFailed(text, QStringLiteral("the Wayland compositor did not take the keymap"));
        return true;
    }
    return EngineTypingBackend::type(text);
}

void WaylandTypingBackend::restoreSystem() {
    // A keyboard that never had a keymap has nothing to give back.
    m_deviceStarted = true;
    m_startLater.stop();
    EngineTypingBackend::restoreSystem();
}

UserText WaylandTypingBackend::unavailableReason() const {
    if (m_connection->isBroken())
        return {QStringLiteral("typing_wayland_connection_broken")};
    if (m_refused)
        return {QStringLiteral("typing_wayland_keymap_refused")};
    return {};
}
