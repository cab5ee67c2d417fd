#include "platform/x11/X11HotkeyService.h"

#include "platform/Log.h"

#include <QCoreApplication>

#include "platform/x11/XcbXkb.h"

X11HotkeyService::X11HotkeyService(const X11Connection& connection, QObject* parent)
    : HotkeyService(parent)
    , m_x(connection)
    , m_xkbEventBase(connection.xkbEventBase()) {
    if (const std::optional<KeymapSnapshot> keymap = m_x.readKeymap())
        m_locks = HotkeyGrabRules::lockMasks(*keymap);
    // A held key then repeats as presses alone, without fake releases in between.
    xcb_discard_reply(m_x.xcb(),
                      xcb_xkb_per_client_flags(m_x.xcb(), XCB_XKB_ID_USE_CORE_KBD,
                                               XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                               XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0)
                          .sequence);
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installNativeEventFilter(this);
}

X11HotkeyService::~X11HotkeyService() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeNativeEventFilter(this);
        for (const Grab& grab : std::as_const(m_grabs))
            ungrab(grab);
        m_x.flush();
    }
}

HotkeyService::Registration X11HotkeyService::registerHotkey(PhysicalKey key, HotkeyModifiers modifiers,
                                                             quint32 id) {
    if (key > 255 - 8) // X keycodes are evdev codes + 8, and at most 255
        return {X11Connection::BadValue, 0};
    const Grab wanted{quint8(key + 8), HotkeyGrabRules::coreMask(modifiers), id};
    warnAboutLayoutSwitch(wanted.modifiers);
    if (const int status = grab(wanted))
        return {status, 0};
    const Handle handle = m_nextHandle++;
    m_grabs.insert(handle, wanted);
    return {0, handle};
}

void X11HotkeyService::unregisterHotkey(Handle handle) {
    const auto found = m_grabs.constFind(handle);
    if (found == m_grabs.cend())
        return;
    ungrab(*found);
    m_grabs.erase(found);
    m_x.flush();
}

int X11HotkeyService::grab(const Grab& grab) {
    QList<xcb_void_cookie_t> cookies;
    for (xcb_window_t root : m_x.roots()) {
        for (quint16 locks : HotkeyGrabRules::lockCombinations(m_locks))
            cookies.append(xcb_grab_key_checked(m_x.xcb(), 0, root, grab.modifiers | locks, grab.keycode,
                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    int status = 0;
    for (const xcb_void_cookie_t& cookie : std::as_const(cookies)) {
        if (const int error = m_x.check(cookie); error && !status)
            status = error;
    }
    if (status) // only this client's own grabs are released, never the other client's
        ungrab(grab);
    return status;
}

void X11HotkeyService::ungrab(const Grab& grab) {
    for (xcb_window_t root : m_x.roots()) {
        for (quint16 locks : HotkeyGrabRules::lockCombinations(m_locks))
            m_x.discard(xcb_ungrab_key_checked(m_x.xcb(), grab.keycode, root, grab.modifiers | locks));
    }
}

bool X11HotkeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (type == XCB_KEY_RELEASE) {
            m_held.remove(key->detail);
            return false;
        }
        if (!m_x.roots().contains(key->event))
            return false;
        const quint16 combination = key->state & HotkeyGrabRules::CombinationMask;
        for (const Grab& grab : std::as_const(m_grabs)) {
            if (grab.keycode != key->detail || grab.modifiers != combination)
                continue;
            if (!m_held.contains(key->detail)) {
                m_held.insert(key->detail);
                Q_EMIT hotkeyPressed(grab.id);
            }
            break;
        }
    } else if (type == XCB_MAPPING_NOTIFY) {
        if (reinterpret_cast<const xcb_mapping_notify_event_t*>(event)->request == XCB_MAPPING_MODIFIER)
            queueRegrab();
    } else if (m_xkbEventBase && type == m_xkbEventBase) {
        const auto* notify = reinterpret_cast<const xcb_xkb_map_notify_event_t*>(event);
        if (notify->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY) {
            m_keyboardReplaced = true;
            queueRegrab();
        } else if (notify->xkbType == XCB_XKB_MAP_NOTIFY &&
                   (notify->changed & XCB_XKB_MAP_PART_MODIFIER_MAP)) {
            queueRegrab();
        }
    }
    return false;
}

void X11HotkeyService::queueRegrab() {
    if (m_regrabQueued)
        return;
    m_regrabQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_regrabQueued = false;
            regrabIfLocksMoved(std::exchange(m_keyboardReplaced, false));
        },
        Qt::QueuedConnection);
}

void X11HotkeyService::regrabIfLocksMoved(bool keyboardReplaced) {
    const std::optional<KeymapSnapshot> keymap = m_x.readKeymap();
    if (!keymap)
        return;
    const HotkeyGrabRules::LockMasks locks = HotkeyGrabRules::lockMasks(*keymap);
    if (locks == m_locks && !keyboardReplaced)
        return;
    // No other client's key press may fall between the release and the new
    // grab (each grab waits for its answer), or a hotkey pressed right after a
    // layout change would be lost.
    xcb_grab_server(m_x.xcb());
    for (const Grab& grab : std::as_const(m_grabs))
        ungrab(grab);
    m_locks = locks;
    m_held.clear();
    for (auto it = m_grabs.cbegin(); it != m_grabs.cend(); ++it) {
        if (const int status = grab(*it)) {
            Log::line(QStringLiteral("[X11HotkeyService] Hotkey %1 lost after a keyboard change: status %2")
                          .arg(it->id)
                          .arg(status));
        }
    }
    xcb_ungrab_server(m_x.xcb());
    m_x.flush();
}

void X11HotkeyService::warnAboutLayoutSwitch(quint16 modifiers) {
    const quint16 altShift = HotkeyGrabRules::Mod1Mask | HotkeyGrabRules::ShiftMask;
    if (m_layoutSwitchChecked || (modifiers & altShift) != altShift)
        return;
    m_layoutSwitchChecked = true;
    const QString option = HotkeyGrabRules::altShiftLayoutSwitch(m_x.rootProperty("_XKB_RULES_NAMES"));
    if (option.isEmpty())
        return;
    Log::line(QStringLiteral("[X11HotkeyService] Alt+Shift switches the keyboard layout here (XKB "
                             "option %1), so hotkeys with Alt+Shift cannot fire: "
                             "choose other combinations in Settings > Hotkeys, or another layout "
                             "switch in the desktop's keyboard settings.")
                  .arg(option));
}
