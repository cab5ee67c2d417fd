#include "X11WindowSystem.h"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {
constexpr quint32 allDesktops = 0xFFFFFFFF;
constexpr quint32 netWmStateAdd = 1;
constexpr quint32 sourcePager = 2;

// The XFixes SelectionNotify event, laid out as the protocol sends it (its
// header is not needed for one event).
struct SelectionNotifyEvent {
    uint8_t responseType;
    uint8_t subtype;
    uint16_t sequence;
    uint32_t window;
    uint32_t owner;
    uint32_t selection;
    uint32_t timestamp;
    uint32_t selectionTimestamp;
    uint8_t pad[8];
};
static_assert(sizeof(SelectionNotifyEvent) == 32);

// The screen part of DISPLAY (":0.1" → 1); Qt opens the same one.
int screenNumberFromDisplay() {
    const QByteArray display = qgetenv("DISPLAY");
    const int colon = display.lastIndexOf(':');
    const int dot = display.indexOf('.', colon < 0 ? 0 : colon);
    return dot < 0 ? 0 : display.mid(dot + 1).toInt();
}
} // namespace

std::unique_ptr<X11WindowSystem> X11WindowSystem::create() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return nullptr;
    return std::unique_ptr<X11WindowSystem>(
        new X11WindowSystem(x11->connection(), screenNumberFromDisplay()));
}

X11WindowSystem::X11WindowSystem(xcb_connection_t* connection, int screenNumber)
    : m_connection(connection) {
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; screens.rem && i < screenNumber; ++i)
        xcb_screen_next(&screens);
    if (screens.rem)
        m_root = screens.data->root;

    QByteArray names[AtomCount] = {"WM_WINDOW_ROLE",
                                   "_NET_WM_STATE",
                                   "_NET_WM_STATE_ABOVE",
                                   "_NET_WM_STATE_STICKY",
                                   "_NET_WM_STATE_SKIP_TASKBAR",
                                   "_NET_WM_STATE_SKIP_PAGER",
                                   "_NET_WM_DESKTOP",
                                   "_NET_ACTIVE_WINDOW",
                                   "_NET_SUPPORTED",
                                   "WM_PROTOCOLS",
                                   "WM_TAKE_FOCUS",
                                   "_NET_WM_CM_S" + QByteArray::number(screenNumber)};
    // All requests first, then the replies: one round trip instead of one per name.
    xcb_intern_atom_cookie_t cookies[AtomCount];
    for (int i = 0; i < AtomCount; ++i)
        cookies[i] =
            xcb_intern_atom(connection, false, static_cast<uint16_t>(names[i].size()), names[i].constData());
    const char xfixes[] = "XFIXES";
    const xcb_query_extension_cookie_t extensionCookie =
        xcb_query_extension(connection, sizeof(xfixes) - 1, xfixes);
    for (int i = 0; i < AtomCount; ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookies[i], nullptr);
        m_atoms[i] = reply ? reply->atom : quint32(XCB_ATOM_NONE);
        std::free(reply);
    }
    xcb_query_extension_reply_t* extension = xcb_query_extension_reply(connection, extensionCookie, nullptr);
    if (extension && extension->present)
        m_xfixesFirstEvent = extension->first_event;
    std::free(extension);

    m_compositing = queryCompositing();
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->installNativeEventFilter(this);
}

X11WindowSystem::~X11WindowSystem() {
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->removeNativeEventFilter(this);
}

void X11WindowSystem::setIdentity(QWindow& window, const QByteArray& role) {
    // Qt derives the class from the program's file name; rules must not
    // depend on what the binary happens to be called.
    static const char wmClass[] = "runeboard\0Runeboard";
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof(wmClass), wmClass);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, id, atom(WmWindowRole), XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(role.size()), role.constData());
    xcb_flush(m_connection);
}

void X11WindowSystem::prepareFloatingShow(QWindow& window) {
    const auto id = static_cast<xcb_window_t>(window.winId());
    const quint32 wanted[] = {atom(NetWmStateAbove), atom(NetWmStateSticky), atom(NetWmStateSkipTaskbar),
                              atom(NetWmStateSkipPager)};
    if (window.isVisible()) {
        // Mapped already: only the window manager may change these now.
        auto send = [&](quint32 type, quint32 d0, quint32 d1, quint32 d2) {
            xcb_client_message_event_t event;
            std::memset(&event, 0, sizeof(event));
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = id;
            event.type = type;
            event.data.data32[0] = d0;
            event.data.data32[1] = d1;
            event.data.data32[2] = d2;
            event.data.data32[3] = 1;
            xcb_send_event(m_connection, false, m_root,
                           XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                           reinterpret_cast<const char*>(&event));
        };
        send(atom(NetWmState), netWmStateAdd, wanted[0], wanted[1]);
        send(atom(NetWmState), netWmStateAdd, wanted[2], wanted[3]);
        send(atom(NetWmDesktop), allDesktops, 1, 0);
    } else {
        // Before mapping the client owns these properties; keep what Qt put there.
        QList<quint32> states = atomList(id, atom(NetWmState));
        for (quint32 state : wanted) {
            if (!states.contains(state))
                states.append(state);
        }
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, id, atom(NetWmState), XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(states.size()), states.constData());
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, id, atom(NetWmDesktop), XCB_ATOM_CARDINAL,
                            32, 1, &allDesktops);
        m_awaitingMap.insert(id);
    }
    xcb_flush(m_connection);
}

void X11WindowSystem::setAcceptsFocus(QWindow& window, bool accepts) {
    // With input=False but WM_TAKE_FOCUS listed, a window is "globally
    // active" to the window manager: a click makes it send the offer and drop
    // the focus of the window that had it, even though Qt declines.
    const auto id = static_cast<xcb_window_t>(window.winId());
    QList<quint32> protocols = atomList(id, atom(WmProtocols));
    const bool listed = protocols.contains(atom(WmTakeFocus));
    if (listed == accepts)
        return;
    if (accepts)
        protocols.append(atom(WmTakeFocus));
    else
        protocols.removeAll(atom(WmTakeFocus));
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, id, atom(WmProtocols), XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(protocols.size()), protocols.constData());
    xcb_flush(m_connection);
}

X11WindowSystem::WindowId X11WindowSystem::activeWindow() const {
    const QList<quint32> ids = atomList(m_root, atom(NetActiveWindow));
    return ids.isEmpty() ? 0 : ids.first();
}

void X11WindowSystem::activateWindow(WindowId window) {
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof(event));
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window);
    event.type = atom(NetActiveWindow);
    // As a pager asks: the user chose this window, so no focus-stealing rule applies.
    event.data.data32[0] = sourcePager;
    event.data.data32[1] = XCB_CURRENT_TIME;
    event.data.data32[2] = static_cast<quint32>(activeWindow());
    xcb_send_event(m_connection, false, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(m_connection);
}

bool X11WindowSystem::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const int type = event->response_type & 0x7f;
    if (type == XCB_MAP_NOTIFY && !m_awaitingMap.isEmpty()) {
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        if (m_awaitingMap.remove(map->window))
            completeStatesAfterMap(map->window);
    } else if (m_xfixesFirstEvent >= 0 && type == m_xfixesFirstEvent) {
        const auto* notify = reinterpret_cast<const SelectionNotifyEvent*>(event);
        if (notify->selection == atom(NetWmCm)) {
            const bool compositing = queryCompositing();
            if (compositing != m_compositing) {
                m_compositing = compositing;
                Q_EMIT compositingChanged(compositing);
            }
        }
    }
    return false; // Qt still handles every event
}

void X11WindowSystem::completeStatesAfterMap(quint32 window) {
    // A window manager without sticky windows (openbox, for one) puts the
    // panel on every desktop through _NET_WM_DESKTOP but then writes a state
    // list without STICKY. The window is sticky all the same; say so, so that
    // pagers and rules that read the state see what is true.
    if (wmSupports(atom(NetWmStateSticky)))
        return;
    const QList<quint32> desktop = atomList(window, atom(NetWmDesktop));
    if (desktop.isEmpty() || desktop.first() != allDesktops)
        return;
    QList<quint32> states = atomList(window, atom(NetWmState));
    if (states.contains(atom(NetWmStateSticky)))
        return;
    states.append(atom(NetWmStateSticky));
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom(NetWmState), XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(states.size()), states.constData());
    xcb_flush(m_connection);
}

bool X11WindowSystem::queryCompositing() const {
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, atom(NetWmCm)), nullptr);
    const bool owned = reply && reply->owner != XCB_NONE;
    std::free(reply);
    return owned;
}

bool X11WindowSystem::wmSupports(quint32 feature) const {
    return atomList(m_root, atom(NetSupported)).contains(feature);
}

QList<quint32> X11WindowSystem::atomList(quint32 window, quint32 property) const {
    QList<quint32> values;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, false, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const quint32*>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / 4;
        values.reserve(count);
        for (int i = 0; i < count; ++i)
            values.append(data[i]);
    }
    std::free(reply);
    return values;
}
