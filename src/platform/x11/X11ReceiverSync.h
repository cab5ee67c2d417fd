#pragma once

#include <QHash>
#include <QObject>

#include <xcb/xcb.h>

class QSocketNotifier;

// Finds out when the program that has the keyboard focus has handled the key
// events sent to it. Such a program answers the window manager's
// _NET_WM_PING only after every event queued before it, so a ping sent after
// the key events and answered tells exactly that. (xterm and other programs
// without _NET_WM_PING in WM_PROTOCOLS cannot be asked.)
//
// The answer goes to the root window; receiving it needs a root event mask
// that Qt's own connection must not get, so this uses a connection of its own.
class X11ReceiverSync : public QObject {
    Q_OBJECT
public:
    // Connects to `displayName` (empty: $DISPLAY); without a connection no ping is ever sent.
    explicit X11ReceiverSync(const QByteArray& displayName = {}, QObject* parent = nullptr);
    ~X11ReceiverSync() override;

    bool isConnected() const { return m_connection != nullptr; }
    // Pings the focused program; false when it cannot answer (or no program has the focus).
    bool ping(quint32 token);

Q_SIGNALS:
    // The program pinged with `token` has handled everything sent before the ping.
    void answered(quint32 token);

private:
    xcb_window_t pingTarget();
    xcb_window_t windowUnderPointer();
    bool answersPing(xcb_window_t window);
    void readEvents();

    xcb_connection_t* m_connection = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_wmProtocols = 0;
    xcb_atom_t m_netWmPing = 0;
    xcb_window_t m_lastFocus = 0;
    xcb_window_t m_lastTarget = 0;
    QHash<quint32, xcb_window_t> m_outstanding; // token → window pinged
};
