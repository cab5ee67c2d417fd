#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;
struct wl_display;

// Serves one Wayland connection from the event loop: what the compositor sends
// is read and dispatched when the socket says so, and requests the socket
// cannot take at once wait for it to take more. The event loop never waits for
// the compositor here but in roundtrip(), which an owner asks for where an
// answer must come first. A broken connection is reported once. The owner
// keeps the display and disconnects it after destroying the pump.
class WaylandEventPump : public QObject {
    Q_OBJECT
public:
    // `brokenLine`: the diagnostic written when the connection breaks, its %1 the system's reason.
    WaylandEventPump(wl_display* display, QString brokenLine, QObject* parent = nullptr);

    bool isBroken() const;
    // Requests are waiting for a full socket to take them.
    bool isWaiting() const;
    // Sends what is queued; a full socket takes the rest later by itself. False once broken.
    bool flush();
    // Waits until the compositor has handled everything sent so far; false once broken.
    bool roundtrip();
    // Reports a call on the connection that failed.
    void fail();

Q_SIGNALS:
    // After every flush that did not fail; `drained`: the socket was full and has taken
    // everything, a sign that the compositor is alive.
    void flushed(bool drained);
    void broken();

private:
    void readEvents();

    wl_display* m_display = nullptr;
    QString m_brokenLine;
    QSocketNotifier* m_readable = nullptr;
    QSocketNotifier* m_writable = nullptr;
    bool m_broken = false;
};
