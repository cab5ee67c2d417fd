#include "platform/x11/X11Connection.h"

#include <QGuiApplication>
#include <QRandomGenerator>

#include <cstring>

#include "platform/x11/Xcb.h"
#include "platform/x11/XcbXkb.h"
#include <xcb/xtest.h>

using Xcb::Reply;

std::optional<X11Connection> X11Connection::fromQt() {
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!app || !app->connection())
        return std::nullopt;
    return X11Connection(app->connection());
}

X11Connection::X11Connection(xcb_connection_t* connection)
    : m_connection(connection) {}

QList<xcb_window_t> X11Connection::roots() const {
    QList<xcb_window_t> roots;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(m_connection)); it.rem; xcb_screen_next(&it))
        roots.append(it.data->root);
    return roots;
}

quint8 X11Connection::minKeycode() const {
    return xcb_get_setup(m_connection)->min_keycode;
}

quint8 X11Connection::maxKeycode() const {
    return xcb_get_setup(m_connection)->max_keycode;
}

bool X11Connection::hasXtest() const {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(m_connection, &xcb_test_id);
    return data && data->present;
}

bool X11Connection::hasXkb() const {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(m_connection, &xcb_xkb_id);
    if (!data || !data->present)
        return false;
    // Qt has already asked for XKB on this connection; asking again is harmless and makes sure.
    Reply<xcb_xkb_use_extension_reply_t> use(xcb_xkb_use_extension_reply(
        m_connection, xcb_xkb_use_extension(m_connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
        nullptr));
    return use && use->supported;
}

quint8 X11Connection::xkbEventBase() const {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(m_connection, &xcb_xkb_id);
    return data && data->present ? data->first_event : 0;
}

int X11Connection::extensionFirstEvent(const char* name) const {
    Reply<xcb_query_extension_reply_t> extension(xcb_query_extension_reply(
        m_connection, xcb_query_extension(m_connection, uint16_t(std::strlen(name)), name), nullptr));
    return extension && extension->present ? extension->first_event : -1;
}

int X11Connection::check(xcb_void_cookie_t cookie) const {
    Reply<xcb_generic_error_t> error(xcb_request_check(m_connection, cookie));
    if (error)
        return error->error_code;
    return isBroken() ? BadImplementation : 0;
}

void X11Connection::discard(xcb_void_cookie_t cookie) const {
    xcb_discard_reply(m_connection, cookie.sequence);
}

std::optional<KeymapSnapshot> X11Connection::readKeymap() const {
    KeymapSnapshot keymap;
    keymap.minKeycode = minKeycode();
    keymap.maxKeycode = maxKeycode();
    const auto mappingCookie =
        xcb_get_keyboard_mapping(m_connection, keymap.minKeycode, keymap.maxKeycode - keymap.minKeycode + 1);
    const auto modifierCookie = xcb_get_modifier_mapping(m_connection);
    Reply<xcb_get_keyboard_mapping_reply_t> mapping(
        xcb_get_keyboard_mapping_reply(m_connection, mappingCookie, nullptr));
    Reply<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(m_connection, modifierCookie, nullptr));
    if (!mapping || !modifiers)
        return std::nullopt;

    const int perKeycode = mapping->keysyms_per_keycode;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int count = xcb_get_keyboard_mapping_keysyms_length(mapping.get());
    for (int keycode = keymap.minKeycode; perKeycode > 0 && keycode <= keymap.maxKeycode; ++keycode) {
        const int first = (keycode - keymap.minKeycode) * perKeycode;
        if (first + perKeycode > count)
            break;
        QList<quint32> symbols;
        for (int i = 0; i < perKeycode; ++i) {
            if (keysyms[first + i] != 0)
                symbols.append(keysyms[first + i]);
        }
        if (!symbols.isEmpty())
            keymap.symbols.insert(quint8(keycode), symbols);
    }

    const int perModifier = modifiers->keycodes_per_modifier;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            if (const xcb_keycode_t keycode = keycodes[modifier * perModifier + i])
                keymap.modifiers[modifier].append(keycode);
        }
    }
    return keymap;
}

QByteArray X11Connection::rootProperty(const QByteArray& name) const {
    const QList<xcb_window_t> rootWindows = roots();
    if (rootWindows.isEmpty())
        return {};
    Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 1, name.size(), name.constData()), nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return {};
    Reply<xcb_get_property_reply_t> property(
        xcb_get_property_reply(m_connection,
                               xcb_get_property(m_connection, 0, rootWindows.first(), atom->atom,
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
                               nullptr));
    if (!property || property->format != 8)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(property.get())),
                      xcb_get_property_value_length(property.get()));
}

QByteArray X11Connection::serverIdentity() const {
    static const QByteArray name("_RUNEBOARD_SERVER_ID");
    constexpr int length = 32; // 128 random bits in hex
    const QList<xcb_window_t> rootWindows = roots();
    Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, name.size(), name.constData()), nullptr));
    if (rootWindows.isEmpty() || !atom)
        return {};
    // Under a grab, so that two Runeboards starting together agree on one value.
    xcb_grab_server(m_connection);
    Reply<xcb_get_property_reply_t> property(xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, rootWindows.first(), atom->atom, XCB_ATOM_STRING, 0, length / 4),
        nullptr));
    QByteArray identity;
    if (property && property->format == 8 && xcb_get_property_value_length(property.get()) == length)
        identity = QByteArray(static_cast<const char*>(xcb_get_property_value(property.get())), length);
    if (identity.isEmpty()) {
        quint32 words[4];
        QRandomGenerator::system()->fillRange(words);
        identity = QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex();
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, rootWindows.first(), atom->atom,
                            XCB_ATOM_STRING, 8, length, identity.constData());
    }
    xcb_ungrab_server(m_connection);
    xcb_flush(m_connection);
    return isBroken() ? QByteArray() : identity;
}

std::optional<quint8> X11Connection::heldModifiers() const {
    Reply<xcb_xkb_get_state_reply_t> state(xcb_xkb_get_state_reply(
        m_connection, xcb_xkb_get_state(m_connection, XCB_XKB_ID_USE_CORE_KBD), nullptr));
    if (!state)
        return std::nullopt;
    return quint8(state->baseMods | state->latchedMods);
}
