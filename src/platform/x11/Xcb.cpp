#include "platform/x11/Xcb.h"

namespace Xcb {

xcb_client_message_event_t clientMessage(xcb_window_t window, xcb_atom_t type,
                                         const std::array<quint32, 5>& data) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    for (size_t i = 0; i < data.size(); ++i)
        message.data.data32[i] = data[i];
    return message;
}

void sendToWindowManager(xcb_connection_t* connection, xcb_window_t root,
                         const xcb_client_message_event_t& message) {
    xcb_send_event(connection, false, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
}

QList<xcb_atom_t> internAtoms(xcb_connection_t* connection, const QList<QByteArray>& names,
                              bool onlyIfExists) {
    QList<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(names.size());
    for (const QByteArray& name : names)
        cookies.append(xcb_intern_atom(connection, onlyIfExists, uint16_t(name.size()), name.constData()));
    QList<xcb_atom_t> atoms;
    atoms.reserve(names.size());
    for (const xcb_intern_atom_cookie_t& cookie : std::as_const(cookies)) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
        atoms.append(reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE));
    }
    return atoms;
}

QList<quint32> property32(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property) {
    QList<quint32> values;
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, false, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr));
    if (!reply || reply->format != 32)
        return values;
    const auto* data = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    values.reserve(count);
    for (int i = 0; i < count; ++i)
        values.append(data[i]);
    return values;
}

xcb_window_t rootOf(xcb_connection_t* connection, int screenNumber) {
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    const xcb_window_t first = screens.rem ? screens.data->root : xcb_window_t(XCB_WINDOW_NONE);
    for (int i = 0; screens.rem && i < screenNumber; ++i)
        xcb_screen_next(&screens);
    return screens.rem ? screens.data->root : first;
}

} // namespace Xcb
