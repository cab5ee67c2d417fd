#include "platform/wayland/VirtualKeymap.h"

#include <xkbcommon/xkbcommon.h>

namespace {
QByteArray keyName(int keycode) {
    return "<I" + QByteArray::number(keycode) + '>';
}
} // namespace

VirtualKeymap::VirtualKeymap()
    : m_context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES)) {}

VirtualKeymap::~VirtualKeymap() {
    xkb_context_unref(m_context);
}

QByteArray VirtualKeymap::source(const QMap<quint8, quint32>& bindings) {
    QByteArray text = "xkb_keymap {\n"
                      "xkb_keycodes \"runeboard\" {\n"
                      "    minimum = 8;\n"
                      "    maximum = 255;\n";
    for (int keycode = firstKeycode; keycode <= lastKeycode; ++keycode)
        text += "    " + keyName(keycode) + " = " + QByteArray::number(keycode) + ";\n";
    text += "};\n"
            "xkb_types \"runeboard\" { include \"complete\" };\n"
            "xkb_compatibility \"runeboard\" { include \"complete\" };\n"
            "xkb_symbols \"runeboard\" {\n";
    for (auto it = bindings.cbegin(); it != bindings.cend(); ++it) {
        if (it.value() == 0 || it.key() < firstKeycode)
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
    keymap.minKeycode = firstKeycode;
    keymap.maxKeycode = lastKeycode;
    return keymap;
}
