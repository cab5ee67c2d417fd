#include "platform/x11/X11ReceiverSync.h"

#include "platform/x11/Xcb.h"

#include <QSocketNotifier>

namespace {
// The focus can sit deep in a program's window tree; its top level is a few levels up.
constexpr int maximumDepth = 16;
} // namespace

X11ReceiverSync::X11ReceiverSync(const QByteArray& displayName, QObject* parent)
    : QObject(parent) {
    int screenNumber = 0;
    xcb_connection_t* connection =
        xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_root = Xcb::rootOf(m_connection, screenNumber);
    const QList<xcb_atom_t> atoms = Xcb::internAtoms(m_connection, {"WM_PROTOCOLS", "_NET_WM_PING"});
    m_wmProtocols = atoms.at(0);
    m_netWmPing = atoms.at(1);
    // Programs differ in which of the two they answer with.
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection);
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11ReceiverSync::readEvents);
}

X11ReceiverSync::~X11ReceiverSync() {
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11ReceiverSync::ping(quint32 token) {
    if (!m_connection || xcb_connection_has_error(m_connection))
        return false;
    const xcb_window_t target = pingTarget();
    if (!target)
        return false;
    const auto message = Xcb::clientMessage(target, m_wmProtocols, {m_netWmPing, token, target, 0, 0});
    xcb_send_event(m_connection, 0, target, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(m_connection);
    m_outstanding.insert(token, target);
    readEvents(); // answers read while waiting for replies above sit in xcb's queue, not in the socket
    return true;
}

xcb_window_t X11ReceiverSync::pingTarget() {
    Xcb::Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    if (!focus)
        return 0;
    // With the focus at PointerRoot (weston without a seat, some window
    // managers), keys go to the deepest window under the pointer.
    const xcb_window_t focused =
        focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT ? windowUnderPointer() : focus->focus;
    if (focused == XCB_NONE || focused == m_root)
        return 0;
    if (focused == m_lastFocus)
        return m_lastTarget;
    xcb_window_t target = 0;
    xcb_window_t window = focused;
    for (int depth = 0; depth < maximumDepth && window && window != m_root; ++depth) {
        if (answersPing(window)) {
            target = window;
            break;
        }
        Xcb::Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr));
        window = tree ? tree->parent : 0;
    }
    m_lastFocus = focused;
    m_lastTarget = target;
    return target;
}

xcb_window_t X11ReceiverSync::windowUnderPointer() {
    xcb_window_t window = m_root;
    for (int depth = 0; depth < maximumDepth; ++depth) {
        Xcb::Reply<xcb_query_pointer_reply_t> pointer(
            xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, window), nullptr));
        if (!pointer || !pointer->same_screen || pointer->child == XCB_NONE)
            break;
        window = pointer->child;
    }
    return window;
}

bool X11ReceiverSync::answersPing(xcb_window_t window) {
    return Xcb::property32(m_connection, window, m_wmProtocols).contains(m_netWmPing);
}

void X11ReceiverSync::readEvents() {
    while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
        Xcb::Reply<xcb_generic_event_t> event(raw);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            continue;
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
        if (message->type != m_wmProtocols || message->data.data32[0] != m_netWmPing)
            continue;
        // The window manager's own pings are answered the same way; only ours count.
        const quint32 token = message->data.data32[1];
        const auto sent = m_outstanding.constFind(token);
        if (sent == m_outstanding.cend() || *sent != message->data.data32[2])
            continue;
        m_outstanding.erase(sent);
        Q_EMIT answered(token);
    }
    if (xcb_connection_has_error(m_connection))
        m_notifier->setEnabled(false);
}
