#include "platform/x11/X11WindowSystem.h"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QWindow>

#include "platform/DisplayName.h"
#include "platform/x11/Xcb.h"

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

} // namespace

std::unique_ptr<X11WindowSystem> X11WindowSystem::create(const X11Connection& connection) {
    // Qt opens the screen DISPLAY names.
    const std::optional<DisplayName> display = DisplayName::parse(qEnvironmentVariable("DISPLAY"));
    return std::unique_ptr<X11WindowSystem>(new X11WindowSystem(connection, display ? display->screen : 0));
}

X11WindowSystem::X11WindowSystem(const X11Connection& connection, int screenNumber)
    : m_x(connection)
    , m_root(Xcb::rootOf(connection.xcb(), screenNumber)) {
    const QList<QByteArray> names = {"WM_WINDOW_ROLE",
                                     "_NET_WM_STATE",
                                     "_NET_WM_STATE_ABOVE",
                                     "_NET_WM_STATE_STICKY",
                                     "_NET_WM_STATE_SKIP_TASKBAR",
                                     "_NET_WM_STATE_SKIP_PAGER",
                                     "_NET_WM_DESKTOP",
                                     "_NET_ACTIVE_WINDOW",
                                     "_NET_SUPPORTED",
                                     "_NET_SUPPORTING_WM_CHECK",
                                     "WM_PROTOCOLS",
                                     "WM_TAKE_FOCUS",
                                     "_NET_WM_CM_S" + QByteArray::number(screenNumber)};
    static_assert(AtomCount == 13);
    const QList<xcb_atom_t> atoms = Xcb::internAtoms(m_x.xcb(), names);
    std::copy(atoms.cbegin(), atoms.cend(), m_atoms);
    m_xfixesFirstEvent = m_x.extensionFirstEvent("XFIXES");

    m_compositing = queryCompositing();
    m_unmanaged = wmCannotKeepAbove();
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
    xcb_change_property(m_x.xcb(), XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof(wmClass), wmClass);
    xcb_change_property(m_x.xcb(), XCB_PROP_MODE_REPLACE, id, atom(WmWindowRole), XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(role.size()), role.constData());
    m_x.flush();
}

void X11WindowSystem::prepareFloatingShow(QWindow& window) {
    const auto id = static_cast<xcb_window_t>(window.winId());
    const quint32 wanted[] = {atom(NetWmStateAbove), atom(NetWmStateSticky), atom(NetWmStateSkipTaskbar),
                              atom(NetWmStateSkipPager)};
    if (window.isVisible()) {
        // Mapped already: only the window manager may change these now.
        auto send = [&](quint32 type, quint32 d0, quint32 d1, quint32 d2) {
            Xcb::sendToWindowManager(m_x.xcb(), m_root, Xcb::clientMessage(id, type, {d0, d1, d2, 1, 0}));
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
        xcb_change_property(m_x.xcb(), XCB_PROP_MODE_REPLACE, id, atom(NetWmState), XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(states.size()), states.constData());
        xcb_change_property(m_x.xcb(), XCB_PROP_MODE_REPLACE, id, atom(NetWmDesktop), XCB_ATOM_CARDINAL, 32,
                            1, &allDesktops);
        m_awaitingMap.insert(id);
    }
    m_x.flush();
}

void X11WindowSystem::setAcceptsFocus(QWindow& window, bool accepts) {
    // No window manager offers an override-redirect window the focus, so
    // there is nothing to take back. (Nor does sway 1.7 give it the keyboard
    // when it is mapped again as a normal window, so the panel's own fields
    // cannot be typed into under a Wayland compositor yet.)
    if (m_unmanaged)
        return;
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
    xcb_change_property(m_x.xcb(), XCB_PROP_MODE_REPLACE, id, atom(WmProtocols), XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(protocols.size()), protocols.constData());
    m_x.flush();
}

X11WindowSystem::WindowId X11WindowSystem::activeWindow() const {
    const QList<quint32> ids = atomList(m_root, atom(NetActiveWindow));
    return ids.isEmpty() ? 0 : ids.first();
}

void X11WindowSystem::activateWindow(WindowId window) {
    // As a pager asks: the user chose this window, so no focus-stealing rule applies.
    const auto message = Xcb::clientMessage(static_cast<xcb_window_t>(window), atom(NetActiveWindow),
                                            {sourcePager, XCB_CURRENT_TIME, quint32(activeWindow()), 0, 0});
    Xcb::sendToWindowManager(m_x.xcb(), m_root, message);
    m_x.flush();
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
    } else if (type == XCB_PROPERTY_NOTIFY && !m_awaitingDesktop.isEmpty()) {
        const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (property->atom == atom(NetWmDesktop) && m_awaitingDesktop.contains(property->window)) {
            const QList<quint32> desktop = atomList(property->window, atom(NetWmDesktop));
            if (!desktop.isEmpty() && desktop.first() == allDesktops &&
                m_awaitingDesktop.remove(property->window))
                completeStatesAfterMap(property->window);
        }
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
    // A window manager still unmanaging the panel from its last hide may have dropped the desktop set
    // before the map; once mapped, only a request to it puts the panel back on every desktop.
    const QList<quint32> desktopNow = atomList(window, atom(NetWmDesktop));
    if (desktopNow.isEmpty() || desktopNow.first() != allDesktops) {
        Xcb::sendToWindowManager(m_x.xcb(), m_root,
                                 Xcb::clientMessage(static_cast<xcb_window_t>(window), atom(NetWmDesktop),
                                                    {allDesktops, 1, 0, 0, 0}));
        m_x.flush();
        m_awaitingDesktop.insert(window); // the states follow once it has done so
        return;
    }
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
    xcb_change_property(m_x.xcb(), XCB_PROP_MODE_REPLACE, window, atom(NetWmState), XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(states.size()), states.constData());
    m_x.flush();
}

bool X11WindowSystem::queryCompositing() const {
    Xcb::Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(m_x.xcb(), xcb_get_selection_owner(m_x.xcb(), atom(NetWmCm)), nullptr));
    return reply && reply->owner != XCB_NONE;
}

bool X11WindowSystem::wmCannotKeepAbove() const {
    // A window manager names its check window on the root and on the window
    // itself; a stale root property left by one that ended does not count.
    // Without a window manager a click moves no focus, so the panel stays managed then.
    const QList<quint32> check = atomList(m_root, atom(NetSupportingWmCheck));
    if (check.isEmpty() || atomList(check.first(), atom(NetSupportingWmCheck)) != check.mid(0, 1))
        return false;
    return !wmSupports(atom(NetWmStateAbove));
}

bool X11WindowSystem::wmSupports(quint32 feature) const {
    return atomList(m_root, atom(NetSupported)).contains(feature);
}

QList<quint32> X11WindowSystem::atomList(quint32 window, quint32 property) const {
    return Xcb::property32(m_x.xcb(), window, property);
}
