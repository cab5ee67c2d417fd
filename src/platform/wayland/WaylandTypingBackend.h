#pragma once

#include "platform/typing/EngineTypingBackend.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeyboardDevice.h"

#include <QTimer>

#include <memory>

// Types any Unicode scalar through the compositor's virtual keyboard, so that
// it reaches Wayland programs and, through Xwayland, X11 programs alike. The
// keyboard and its first keymap are made once, when the backend is created;
// a compositor may still be setting up the new device when the first key
// comes, so nothing is pressed during the first `warmUpMs`. Symbols share the
// 50 keys of the typing block (see VirtualKeymap) under the typing engine's
// rules: a keycode keeps its meaning until no receiver can still be
// translating an earlier press of it (Xwayland translates queued presses with
// the newest keymap), and a keymap change waits until the compositor has
// handled the one before.
class WaylandTypingBackend : public EngineTypingBackend {
    Q_OBJECT
public:
    static constexpr qint64 warmUpMs = 300;
    static constexpr int startDelayMs = 1000;

    explicit WaylandTypingBackend(std::unique_ptr<WaylandConnection> connection, QObject* parent = nullptr);
    ~WaylandTypingBackend() override;

    bool type(const QString& text) override;
    void restoreSystem() override;
    UserText unavailableReason() const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void flush() override { m_connection->flush(); }
    bool isBroken() const override { return m_connection->isBroken(); }

private:
    // Drops what is still queued, saying why it cannot arrive.
    void abandon(const QString& why);
    // Sends the first keymap, unless it has gone already.
    void startDevice();

    std::unique_ptr<WaylandConnection> m_connection;
    WaylandKeyboardDevice m_device;
    QTimer m_startLater;
    bool m_deviceStarted = false;
    bool m_refused = false; // the first keymap could not be sent
};
