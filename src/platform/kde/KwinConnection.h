#pragma once

#include "platform/UserText.h"

#include <QList>
#include <QObject>

#include <memory>

class WaylandEventPump;
struct org_kde_kwin_fake_input;
struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_manager_v1;

// Runeboard's own Wayland connection to KWin, with KWin's fake input (keys by
// evdev code) and the data-control clipboard on it. Both on one connection:
// KWin handles requests in the order they were sent, so a clipboard set here
// is the seat's before the paste keys that follow it arrive anywhere.
// KWin lists fake input only to programs that an installed desktop file names
// (see KdePlatform); without it the connection is still made.
class KwinConnection : public QObject {
    Q_OBJECT
public:
    ~KwinConnection() override;

    // Connects to WAYLAND_DISPLAY and lists KWin's globals; null with `problem` when that fails.
    static std::unique_ptr<KwinConnection> open(UserText* problem);

    bool hasFakeInput() const { return m_fakeInput != nullptr; }
    bool isBroken() const;
    wl_seat* seat() const { return m_seat; }
    zwlr_data_control_manager_v1* dataControl() const { return m_dataControl; }

    // Presses the evdev keys in order and releases them in the opposite order.
    bool pressKeys(const QList<quint32>& codes);
    // Sends what is queued; false once the connection is broken.
    bool flush();
    // Waits for KWin to have handled everything sent so far (only where an answer must come first).
    bool roundtrip();

Q_SIGNALS:
    void broken();

private:
    explicit KwinConnection(wl_display* display);

    static void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, uint32_t name);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    org_kde_kwin_fake_input* m_fakeInput = nullptr;
    zwlr_data_control_manager_v1* m_dataControl = nullptr;
    std::unique_ptr<WaylandEventPump> m_pump;
};
