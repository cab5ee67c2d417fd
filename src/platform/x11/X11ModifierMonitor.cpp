#include "platform/x11/X11ModifierMonitor.h"

#include <QCoreApplication>

#include "platform/x11/XcbXkb.h"

X11ModifierMonitor::X11ModifierMonitor(const X11Connection& connection, QObject* parent)
    : ModifierMonitor(parent)
    , m_x(connection)
    , m_xkbEventBase(connection.xkbEventBase()) {}

X11ModifierMonitor::~X11ModifierMonitor() {
    if (m_started && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11ModifierMonitor::start() {
    if (m_started)
        return true;
    if (!m_xkbEventBase || !QCoreApplication::instance())
        return false;
    // Qt selects these already; selecting them again keeps this independent of Qt's choice.
    m_x.discard(xcb_xkb_select_events_checked(m_x.xcb(), XCB_XKB_ID_USE_CORE_KBD,
                                              XCB_XKB_EVENT_TYPE_STATE_NOTIFY, 0,
                                              XCB_XKB_EVENT_TYPE_STATE_NOTIFY, 0, 0, nullptr));
    const std::optional<quint8> held = m_x.heldModifiers();
    if (!held)
        return false;
    m_started = true;
    QCoreApplication::instance()->installNativeEventFilter(this);
    m_shift = *held & XCB_MOD_MASK_SHIFT;
    m_published = m_shift;
    // The state as it is when the loop gets there, so a change in between is not undone.
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT shiftChanged(m_shift); }, Qt::QueuedConnection);
    return true;
}

bool X11ModifierMonitor::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != m_xkbEventBase)
        return false;
    const auto* state = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event);
    if (state->xkbType == XCB_XKB_STATE_NOTIFY)
        update(state->baseMods | state->latchedMods);
    return false;
}

void X11ModifierMonitor::update(quint8 heldModifiers) {
    m_shift = heldModifiers & XCB_MOD_MASK_SHIFT;
    if (m_publishQueued)
        return;
    // Typing presses Shift around a key of a second level, down and up again in one batch of
    // events: the state is published once the batch is read, so the panel does not flicker.
    m_publishQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_publishQueued = false;
            if (m_shift == m_published)
                return;
            m_published = m_shift;
            Q_EMIT shiftChanged(m_shift);
        },
        Qt::QueuedConnection);
}
