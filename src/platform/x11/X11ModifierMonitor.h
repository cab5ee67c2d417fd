#pragma once

#include "platform/ModifierMonitor.h"
#include "platform/x11/X11Connection.h"

#include <QAbstractNativeEventFilter>

// Follows Shift through XKB state events, which every client that asks gets
// whatever window has the focus, without any grab. Qt's connection already
// receives them, so this costs nothing while the state does not change.
class X11ModifierMonitor : public ModifierMonitor, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11ModifierMonitor(const X11Connection& connection, QObject* parent = nullptr);
    ~X11ModifierMonitor() override;

    bool start() override;
    bool followsEveryWindow() const override { return m_everyWindow; }
    // The server stamps its modifier state on every button event, and Qt hands it on.
    bool clicksCarryShift() const override { return true; }
    // Under a Wayland compositor (Xwayland): state events come only while an Xwayland window has the focus.
    void setFollowsEveryWindow(bool every) { m_everyWindow = every; }
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void update(quint8 heldModifiers);

    X11Connection m_x;
    quint8 m_xkbEventBase = 0;
    bool m_started = false;
    bool m_shift = false;
    bool m_published = false;
    bool m_publishQueued = false;
    bool m_everyWindow = true;
};
