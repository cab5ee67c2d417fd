#pragma once

#include "platform/typing/KeymapSnapshot.h"

#include <QByteArray>
#include <QList>

#include <optional>

#include <xcb/xcb.h>

// Requests on Qt's own xcb connection. Every request whose failure matters is
// a checked one, so an X error is an ordinary return value here and never
// reaches an error handler that could end the process.
class X11Connection {
public:
    // Qt's connection when Qt runs on xcb; nothing otherwise.
    static std::optional<X11Connection> fromQt();

    explicit X11Connection(xcb_connection_t* connection);

    xcb_connection_t* xcb() const { return m_connection; }
    bool isBroken() const { return xcb_connection_has_error(m_connection) != 0; }
    QList<xcb_window_t> roots() const;
    quint8 minKeycode() const;
    quint8 maxKeycode() const;

    bool hasXtest() const;
    bool hasXkb() const;
    // The event code of XKB events on this connection (0 without XKB).
    quint8 xkbEventBase() const;
    // The first event code of any extension; -1 when the server lacks it.
    int extensionFirstEvent(const char* name) const;

    // 0 when the request succeeded, otherwise the X error code.
    int check(xcb_void_cookie_t cookie) const;
    // Drops whatever error the request may bring, without waiting for it.
    void discard(xcb_void_cookie_t cookie) const;
    void flush() const { xcb_flush(m_connection); }

    // The core keyboard mapping and modifier map, read now.
    std::optional<KeymapSnapshot> readKeymap() const;
    // A root window property as raw bytes (empty when absent).
    QByteArray rootProperty(const QByteArray& name) const;
    // A random value that names this X server for as long as it runs, kept on
    // its first root window by whichever Runeboard asked first. A display
    // number is re-used by the next server; this value is not, and the server
    // drops it when it resets, exactly when it drops every binding too.
    // Empty when the server could not be asked.
    QByteArray serverIdentity() const;
    // The baseline and latched modifier state of the core keyboard.
    std::optional<quint8> heldModifiers() const;

    // Error codes of the core protocol that the callers mention.
    static constexpr int BadValue = 2;
    static constexpr int BadAccess = 10;
    static constexpr int BadImplementation = 17;

private:
    xcb_connection_t* m_connection;
};
