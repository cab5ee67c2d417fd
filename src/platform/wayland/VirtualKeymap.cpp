#include "platform/wayland/VirtualKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace {
QByteArray keyName(int keycode) {
    return "<I" + QByteArray::number(keycode) + '>';
}

// The keys of the typing block as evdev codes (linux/input-event-codes.h):
// KEY_1…KEY_EQUAL, KEY_Q…KEY_RIGHTBRACE, KEY_A…KEY_GRAVE,
// KEY_BACKSLASH…KEY_SLASH, and the extra keys of ISO and Japanese keyboards
// (KEY_102ND, KEY_RO, KEY_YEN). Every keyboard layout puts characters there.
constexpr struct {
    int first;
    int last;
} typingBlock[] = {{2, 13}, {16, 27}, {30, 41}, {43, 53}, {86, 86}, {89, 89}, {124, 124}};
} // namespace

VirtualKeymap::VirtualKeymap()
    : m_context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES)) {}

VirtualKeymap::~VirtualKeymap() {
    xkb_context_unref(m_context);
}

const QList<quint8>& VirtualKeymap::keycodes() {
    static const QList<quint8> all = [] {
        QList<quint8> list;
        for (const auto& range : typingBlock) {
            for (int evdev = range.first; evdev <= range.last; ++evdev)
                list.append(quint8(evdev + 8));
        }
        return list;
    }();
    return all;
}

bool VirtualKeymap::carriesSymbols(quint8 keycode) {
    return std::binary_search(keycodes().cbegin(), keycodes().cend(), keycode);
}

QByteArray VirtualKeymap::source(const QMap<quint8, quint32>& bindings) {
    QByteArray text = "xkb_keymap {\n"
                      "xkb_keycodes \"runeboard\" {\n"
                      "    minimum = 8;\n"
                      "    maximum = 255;\n";
    for (const quint8 keycode : keycodes())
        text += "    " + keyName(keycode) + " = " + QByteArray::number(keycode) + ";\n";
    text += "};\n"
            "xkb_types \"runeboard\" { include \"complete\" };\n"
            "xkb_compatibility \"runeboard\" { include \"complete\" };\n"
            "xkb_symbols \"runeboard\" {\n";
    for (auto it = bindings.cbegin(); it != bindings.cend(); ++it) {
        if (it.value() == 0 || !carriesSymbols(it.key()))
            continue;
        char name[64];
        if (xkb_keysym_get_name(it.value(), name, sizeof name) <= 0)
            return {}; // not a keysym at all
        // Two equal levels of a type that consumes Shift and Caps Lock: a receiver
        // that applies Caps Lock to what a key gives finds it used up.
        text += "    key " + keyName(it.key()) + " { type = \"ALPHABETIC\", symbols[Group1] = [ " + name +
                ", " + name + " ] };\n";
    }
    text += "};\n"
            "};\n";
    return text;
}

QByteArray VirtualKeymap::compile(const QMap<quint8, quint32>& bindings) const {
    if (!m_context)
        return {};
    const QByteArray text = source(bindings);
    if (text.isEmpty())
        return {};
    xkb_keymap* keymap = xkb_keymap_new_from_string(m_context, text.constData(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                    XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return {};
    char* serialized = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    xkb_keymap_unref(keymap);
    if (!serialized)
        return {};
    QByteArray result(serialized);
    free(serialized);
    return result;
}

KeymapSnapshot VirtualKeymap::snapshot() {
    KeymapSnapshot keymap;
    keymap.minKeycode = 8;
    keymap.maxKeycode = 255;
    // A key outside the typing block counts as taken, so the engine never picks it.
    for (int keycode = keymap.minKeycode; keycode <= keymap.maxKeycode; ++keycode) {
        if (!carriesSymbols(quint8(keycode)))
            keymap.symbols.insert(quint8(keycode), {XKB_KEY_VoidSymbol});
    }
    return keymap;
}
