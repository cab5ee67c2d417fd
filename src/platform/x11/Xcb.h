#pragma once

#include <QByteArray>
#include <QList>

#include <array>
#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

// Small pieces every X11 file needs, in one place.
namespace Xcb {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
// xcb hands out replies, errors and events allocated with malloc.
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// A 32-bit client message about `window`, of `type`, with up to five data words.
xcb_client_message_event_t clientMessage(xcb_window_t window, xcb_atom_t type,
                                         const std::array<quint32, 5>& data);

// Sends a message to the window manager, as EWMH asks: to the root window,
// redirected to whoever manages the substructure.
void sendToWindowManager(xcb_connection_t* connection, xcb_window_t root,
                         const xcb_client_message_event_t& message);

// Interns every name with one round trip; XCB_ATOM_NONE where the server refused.
QList<xcb_atom_t> internAtoms(xcb_connection_t* connection, const QList<QByteArray>& names,
                              bool onlyIfExists = false);

// A property of 32-bit values (atoms, windows, cardinals); empty when absent or of another format.
QList<quint32> property32(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property);

// The root window of a screen, or of the first when there is no such screen.
xcb_window_t rootOf(xcb_connection_t* connection, int screenNumber);

} // namespace Xcb
