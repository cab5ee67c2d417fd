#include "platform/x11/X11KeyboardDevice.h"

#include "platform/x11/Xcb.h"

#include <QMap>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/x11/XcbXkb.h"
#include <xcb/xtest.h>

namespace {

// The canonical ALPHABETIC type: two levels, Shift or Caps Lock selects the second.
constexpr quint8 alphabeticIndex = 2;
constexpr quint8 shiftAndLock = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_LOCK;

// Parts of the core keyboard's XKB map, unpacked; no reply when the server
// refused, or when it did not send exactly the keycodes asked for.
struct XkbMap {
    Xcb::Reply<xcb_xkb_get_map_reply_t> reply;
    xcb_xkb_get_map_map_t parts{};
};

// The key types whole, or the key symbols of a range of keycodes.
XkbMap readMap(xcb_connection_t* connection, bool types, quint8 firstKeySym = 0, quint8 keySyms = 0) {
    XkbMap map;
    const uint16_t full = types ? XCB_XKB_MAP_PART_KEY_TYPES : 0;
    const uint16_t partial = types ? 0 : XCB_XKB_MAP_PART_KEY_SYMS;
    map.reply.reset(
        xcb_xkb_get_map_reply(connection,
                              xcb_xkb_get_map(connection, XCB_XKB_ID_USE_CORE_KBD, full, partial, 0, 0,
                                              firstKeySym, keySyms, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                              nullptr));
    const xcb_xkb_get_map_reply_t* reply = map.reply.get();
    if (!reply || (!types && (reply->firstKeySym != firstKeySym || reply->nKeySyms != keySyms))) {
        map.reply.reset();
        return map;
    }
    xcb_xkb_get_map_map_unpack(xcb_xkb_get_map_map(reply), reply->nTypes, reply->nKeySyms, reply->nKeyActions,
                               reply->totalActions, reply->totalKeyBehaviors, reply->virtualMods,
                               reply->totalKeyExplicit, reply->totalModMapKeys, reply->totalVModMapKeys,
                               reply->present, &map.parts);
    return map;
}

QString brokenConnection() {
    return QStringLiteral("the connection to the X server is broken");
}

QString errorName(int code) {
    switch (code) {
    case X11Connection::BadValue:
        return QStringLiteral("BadValue");
    case X11Connection::BadAccess:
        return QStringLiteral("BadAccess");
    default:
        return QStringLiteral("X error %1").arg(code);
    }
}
} // namespace

X11KeyboardDevice::X11KeyboardDevice(const X11Connection& connection)
    : m_x(connection)
    , m_typeIndex(findKeyType()) {}

bool X11KeyboardDevice::bind(const QList<Binding>& bindings) {
    if (bindings.isEmpty())
        return true;
    xcb_grab_server(m_x.xcb());
    const bool written = writeRange(bindings);
    xcb_ungrab_server(m_x.xcb());
    m_x.flush();
    return written;
}

void X11KeyboardDevice::follow(const KeymapSnapshot& keymap) {
    m_shiftKeycode = keymap.modifiers[0].isEmpty() ? 0 : keymap.modifiers[0].first();
}

int X11KeyboardDevice::press(quint8 keycode, int level, bool exactLevel) {
    const auto fake = [this](quint8 type, quint8 key) {
        m_x.discard(xcb_test_fake_input_checked(m_x.xcb(), type, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0));
    };
    Xcb::Reply<xcb_xkb_get_state_reply_t> state(
        xcb_xkb_get_state_reply(m_x.xcb(), xcb_xkb_get_state(m_x.xcb(), XCB_XKB_ID_USE_CORE_KBD), nullptr));
    const bool shifted = state && (state->mods & XCB_MOD_MASK_SHIFT);
    const bool othersHeld = state && ((state->baseMods | state->latchedMods) & ~XCB_MOD_MASK_SHIFT);
    if (exactLevel && (level == 0 ? shifted : !shifted && (othersHeld || !m_shiftKeycode)))
        return -1;
    if (m_keysDown++ == 0) {
        // GTK upper-cases a symbol while Caps Lock is on even though its key type
        // consumes Lock, so Lock is lifted for the time the key is down. The events
        // carry the state the server had when they were made, so putting Lock back
        // (or letting Shift go) right after the release cannot reach them.
        if (state && (state->lockedMods & XCB_MOD_MASK_LOCK)) {
            setCapsLock(false);
            m_liftedCapsLock = true;
        }
        if (level == 1 && !shifted && m_shiftKeycode) {
            fake(XCB_KEY_PRESS, m_shiftKeycode);
            m_pressedShift = true;
        }
    }
    fake(XCB_KEY_PRESS, keycode);
    return shifted || m_pressedShift ? 1 : 0;
}

void X11KeyboardDevice::release(quint8 keycode) {
    m_x.discard(xcb_test_fake_input_checked(m_x.xcb(), XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_NONE,
                                            0, 0, 0));
    if (m_keysDown == 0 || --m_keysDown > 0)
        return;
    if (m_pressedShift) {
        m_x.discard(xcb_test_fake_input_checked(m_x.xcb(), XCB_KEY_RELEASE, m_shiftKeycode, XCB_CURRENT_TIME,
                                                XCB_NONE, 0, 0, 0));
        m_pressedShift = false;
    }
    if (m_liftedCapsLock) {
        setCapsLock(true);
        m_liftedCapsLock = false;
    }
}

void X11KeyboardDevice::setCapsLock(bool locked) {
    m_x.discard(xcb_xkb_latch_lock_state_checked(m_x.xcb(), XCB_XKB_ID_USE_CORE_KBD, XCB_MOD_MASK_LOCK,
                                                 locked ? XCB_MOD_MASK_LOCK : 0, 0, 0, 0, 0, 0));
}

bool X11KeyboardDevice::writeRange(const QList<Binding>& bindings) {
    QMap<quint8, Binding> wanted;
    for (const Binding& binding : bindings)
        wanted.insert(binding.keycode, binding);
    const quint8 first = wanted.firstKey();
    const quint8 count = quint8(wanted.lastKey() - first + 1);

    // The range as it is now, in the wire form SetMap takes back.
    const XkbMap current = readMap(m_x.xcb(), false, first, count);
    if (!current.reply) {
        m_refusal = m_x.isBroken() ? brokenConnection()
                                   : QStringLiteral("the X server did not report the keyboard mapping");
        return false;
    }

    QByteArray values;
    int totalSymbols = 0;
    quint8 keycode = first;
    for (auto it = xcb_xkb_get_map_map_syms_rtrn_iterator(current.reply.get(), &current.parts); it.rem;
         xcb_xkb_key_sym_map_next(&it), ++keycode) {
        const QByteArray now(reinterpret_cast<const char*>(it.data), xcb_xkb_key_sym_map_sizeof(it.data));
        const auto found = wanted.constFind(keycode);
        const bool empty = found != wanted.cend() && found->keysym == 0;
        if (found == wanted.cend() || (empty && m_original.contains(keycode))) {
            // Someone else's key goes back exactly as it came, an emptied one exactly as it was found.
            const QByteArray& back = found == wanted.cend() ? now : m_original.value(keycode);
            values.append(back);
            totalSymbols += reinterpret_cast<const xcb_xkb_key_sym_map_t*>(back.constData())->nSyms;
            continue;
        }
        if (!empty && it.data->nSyms == 0 && !m_original.contains(keycode))
            m_original.insert(keycode, now);
        // The type fills all four slots although one group uses only the first: that is
        // how the next start knows this program's keys after a crash (see XkbKey).
        const quint8 type = empty ? 0 : m_typeIndex;
        const quint8 header[8] = {
            type, type, type, type, quint8(empty ? 0 : 1), quint8(empty ? 0 : 2), quint8(empty ? 0 : 2), 0};
        values.append(reinterpret_cast<const char*>(header), sizeof header);
        if (!empty) {
            const quint32 symbols[2] = {found->keysym, found->shifted ? found->shifted : found->keysym};
            values.append(reinterpret_cast<const char*>(symbols), sizeof symbols);
            totalSymbols += 2;
        }
    }
    const int error = setKeySyms(first, count, quint16(totalSymbols), values);
    if (error != 0)
        m_refusal = m_x.isBroken()
                        ? brokenConnection()
                        : QStringLiteral("the X server refused to change the keyboard mapping (%1)")
                              .arg(errorName(error));
    return error == 0;
}

int X11KeyboardDevice::setKeySyms(quint8 first, quint8 count, quint16 totalSymbols,
                                  const QByteArray& values) {
    const auto send = [&](bool withKeyTypes) {
        const uint16_t parts = XCB_XKB_MAP_PART_KEY_SYMS | (withKeyTypes ? XCB_XKB_MAP_PART_KEY_TYPES : 0);
        return m_x.check(xcb_xkb_set_map_checked(
            m_x.xcb(), XCB_XKB_ID_USE_CORE_KBD, parts, 0, m_x.minKeycode(), m_x.maxKeycode(), 0, 0, first,
            count, totalSymbols, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, values.constData()));
    };
    // Xwayland (22.1, as Debian 12 ships it) checks each key's width against
    // the key types only when the request carries key types too; otherwise it
    // takes every type for zero levels wide and refuses any key with symbols
    // (BadValue). An empty list of types changes no type but makes it check
    // properly, so once the plain request has been refused, every request
    // carries one.
    int error = send(m_sendsKeyTypes);
    if (error == X11Connection::BadValue && !m_sendsKeyTypes) {
        error = send(true);
        m_sendsKeyTypes = error == 0;
    }
    return error;
}

QHash<quint8, XkbKey> X11KeyboardDevice::readKeys() const {
    const quint8 first = m_x.minKeycode();
    const XkbMap map = readMap(m_x.xcb(), false, first, quint8(m_x.maxKeycode() - first + 1));
    QHash<quint8, XkbKey> keys;
    if (!map.reply)
        return keys;
    quint8 keycode = first;
    for (auto it = xcb_xkb_get_map_map_syms_rtrn_iterator(map.reply.get(), &map.parts); it.rem;
         xcb_xkb_key_sym_map_next(&it), ++keycode) {
        XkbKey& key = keys[keycode];
        key.groups = it.data->groupInfo & 0x0f;
        key.width = it.data->width;
        std::copy(std::begin(it.data->kt_index), std::end(it.data->kt_index), key.types.begin());
        const xcb_keysym_t* symbols = xcb_xkb_key_sym_map_syms(it.data);
        key.symbols = QList<quint32>(symbols, symbols + it.data->nSyms);
    }
    return keys;
}

quint8 X11KeyboardDevice::findKeyType() const {
    const XkbMap map = readMap(m_x.xcb(), true);
    if (!map.reply)
        return alphabeticIndex;
    // Any two-level type works, since both levels carry the same keysym; what
    // matters is that it consumes Shift and Caps Lock. ALPHABETIC does unless
    // an option has redefined it.
    int index = map.reply->firstType;
    int fallback = -1;
    for (auto it = xcb_xkb_get_map_map_types_rtrn_iterator(map.reply.get(), &map.parts); it.rem;
         xcb_xkb_key_type_next(&it), ++index) {
        // Never type 0, which unused slots hold: a binding's mark would be no mark (see XkbKey).
        const bool fits =
            index != 0 && (it.data->mods_mask & shiftAndLock) == shiftAndLock && it.data->numLevels <= 2;
        if (fits && index == alphabeticIndex)
            return alphabeticIndex;
        if (fits && fallback < 0)
            fallback = index;
    }
    return fallback >= 0 ? quint8(fallback) : alphabeticIndex;
}
