#pragma once

#include "platform/UserText.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QDeadlineTimer;
class WaylandEventPump;
struct wl_callback;
struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

// Runeboard's own connection to the Wayland compositor (not Qt's, which may
// not even be on Wayland) with one virtual keyboard on the first seat. It is
// served from the event loop: a socket notifier reads and dispatches what
// arrives, and what cannot be written at once waits for the socket to take it.
// A compositor that is stopped or hangs answers nothing and, once the socket
// is full, takes nothing: nothing here waits for it longer than
// `answerTimeoutMs` without saying so.
class WaylandConnection : public QObject {
    Q_OBJECT
public:
    static constexpr int answerTimeoutMs = 3000;

    ~WaylandConnection() override;

    // Connects to WAYLAND_DISPLAY and creates the virtual keyboard. Asks the
    // compositor for its globals once, waiting at most `timeoutMs` in all for
    // the connection and the answer (the only wait, and only at start). Null
    // with `problem` set when there is no compositor, it does not answer, or
    // it offers no virtual keyboard.
    static std::unique_ptr<WaylandConnection> open(UserText* problem, int timeoutMs = answerTimeoutMs);
    // Whether the compositor named by WAYLAND_DISPLAY answers within
    // `timeoutMs`: empty when it does (or none is named), otherwise why not.
    // Needs no event loop.
    static UserText probe(int timeoutMs = answerTimeoutMs);

    bool isBroken() const;
    // Sends a whole XKB keymap (text); false when it cannot be passed on.
    bool sendKeymap(const QByteArray& keymap);
    // `time` in milliseconds, for the receivers' key repeat and ordering only.
    void sendKey(quint32 time, quint32 evdevCode, bool pressed);
    // Asks for synced() once the compositor has handled every request sent so far.
    void sync();
    // Pushes queued requests to the socket, or waits for it to take them.
    void flush();

Q_SIGNALS:
    void synced();
    // The compositor went away or refused a request: nothing more is typed.
    void broken();
    // A sync has waited, or the full socket has, `answerTimeoutMs` since the
    // compositor's last sign of life. The connection stays: it may come back.
    void silent();

private:
    WaylandConnection(wl_display* display);
    bool bindGlobals(UserText* problem, const QDeadlineTimer& deadline);
    // (Re)starts or stops the silence timer; `answered`: the compositor just gave a sign of life.
    void watch(bool answered);

    static void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, uint32_t name);
    static void onSyncDone(void* data, wl_callback* callback, uint32_t serial);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    zwp_virtual_keyboard_manager_v1* m_manager = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    std::unique_ptr<WaylandEventPump> m_pump;
    QTimer m_silence;
    int m_awaited = 0;      // syncs sent and not yet answered
    bool m_started = false; // the globals have been listed
};
