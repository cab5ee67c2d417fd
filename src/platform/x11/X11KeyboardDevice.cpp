#include "platform/x11/X11KeyboardDevice.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/x11/XcbXkb.h"
#include <xcb/xtest.h>

namespace {
// The canonical ALPHABETIC type: two levels, Shift or Caps Lock selects the second.
constexpr quint8 alphabeticIndex = 2;
constexpr quint8 shiftAndLock = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_LOCK;
} // namespace

X11KeyboardDevice::X11KeyboardDevice(const X11Connection& connection)
    : m_x(connection)
    , m_typeIndex(findKeyType()) {}

bool X11KeyboardDevice::bind(quint8 keycode, quint32 keysym) {
    return setSymbols(keycode, 1, 2, keysym);
}

bool X11KeyboardDevice::unbind(quint8 keycode) {
    return setSymbols(keycode, 0, 0, 0);
}

void X11KeyboardDevice::press(quint8 keycode) {
    m_x.discard(
        xcb_test_fake_input_checked(m_x.xcb(), XCB_KEY_PRESS, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0));
}

void X11KeyboardDevice::release(quint8 keycode) {
    m_x.discard(xcb_test_fake_input_checked(m_x.xcb(), XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_NONE,
                                            0, 0, 0));
}

bool X11KeyboardDevice::setSymbols(quint8 keycode, quint8 groups, quint8 width, quint32 keysym) {
    // One xkb KeySymMap in wire form: kt_index[4], groupInfo, width, nSyms, then the keysyms.
    struct {
        quint8 typeIndex[4];
        quint8 groupInfo;
        quint8 width;
        quint16 symbolCount;
        quint32 symbols[2];
    } map{};
    const quint8 type = groups ? m_typeIndex : 0;
    std::memset(map.typeIndex, type, sizeof map.typeIndex);
    map.groupInfo = groups;
    map.width = width;
    map.symbolCount = quint16(groups * width);
    for (int i = 0; i < map.symbolCount; ++i)
        map.symbols[i] = keysym;
    const auto cookie = xcb_xkb_set_map_checked(
        m_x.xcb(), XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_MAP_PART_KEY_SYMS, 0, m_x.minKeycode(), m_x.maxKeycode(),
        0, 0, keycode, 1, map.symbolCount, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, &map);
    m_lastError = m_x.check(cookie);
    return m_lastError == 0;
}

quint8 X11KeyboardDevice::findKeyType() const {
    struct FreeDeleter {
        void operator()(void* pointer) const { std::free(pointer); }
    };
    std::unique_ptr<xcb_xkb_get_map_reply_t, FreeDeleter> reply(
        xcb_xkb_get_map_reply(m_x.xcb(),
                              xcb_xkb_get_map(m_x.xcb(), XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_MAP_PART_KEY_TYPES,
                                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                              nullptr));
    if (!reply)
        return alphabeticIndex;
    xcb_xkb_get_map_map_t parts{};
    xcb_xkb_get_map_map_unpack(xcb_xkb_get_map_map(reply.get()), reply->nTypes, reply->nKeySyms,
                               reply->nKeyActions, reply->totalActions, reply->totalKeyBehaviors,
                               reply->virtualMods, reply->totalKeyExplicit, reply->totalModMapKeys,
                               reply->totalVModMapKeys, reply->present, &parts);
    // Any two-level type works, since both levels carry the same keysym; what
    // matters is that it consumes Shift and Caps Lock. ALPHABETIC does unless
    // an option has redefined it.
    int index = reply->firstType;
    int fallback = -1;
    for (auto it = xcb_xkb_get_map_map_types_rtrn_iterator(reply.get(), &parts); it.rem;
         xcb_xkb_key_type_next(&it), ++index) {
        const bool fits = (it.data->mods_mask & shiftAndLock) == shiftAndLock && it.data->numLevels <= 2;
        if (fits && index == alphabeticIndex)
            return alphabeticIndex;
        if (fits && fallback < 0)
            fallback = index;
    }
    return fallback >= 0 ? quint8(fallback) : alphabeticIndex;
}
