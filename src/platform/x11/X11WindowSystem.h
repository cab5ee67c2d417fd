#pragma once

#include "platform/WindowSystem.h"
#include "platform/x11/X11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QSet>

#include <memory>

// The window manager conversation on X11, on Qt's own xcb connection: ICCCM
// class and role, the EWMH states and desktop of the keyboard panel, the
// active window, and whether a compositor owns _NET_WM_CM_S<screen> (followed
// through the XFixes selection events Qt already asks for).
class X11WindowSystem : public WindowSystem, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static std::unique_ptr<X11WindowSystem> create(const X11Connection& connection);
    ~X11WindowSystem() override;

    void setIdentity(QWindow& window, const QByteArray& role) override;
    void prepareFloatingShow(QWindow& window) override;
    void setAcceptsFocus(QWindow& window, bool accepts) override;
    // Also where the window manager cannot keep a window above the others (i3
    // and other tiling window managers): it treats the panel as an ordinary
    // window, and i3 focuses it on a click although it declines the focus.
    bool floatsUnmanaged() const override { return m_unmanaged; }
    // Under a Wayland compositor (Xwayland): the panel is an override-redirect window.
    void setFloatsUnmanaged(bool unmanaged) { m_unmanaged = unmanaged; }
    bool isCompositing() const override { return m_compositing; }
    WindowId activeWindow() const override;
    void activateWindow(WindowId window) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    enum Atom {
        WmWindowRole,
        NetWmState,
        NetWmStateAbove,
        NetWmStateSticky,
        NetWmStateSkipTaskbar,
        NetWmStateSkipPager,
        NetWmDesktop,
        NetActiveWindow,
        NetSupported,
        NetSupportingWmCheck,
        WmProtocols,
        WmTakeFocus,
        NetWmCm,
        AtomCount
    };

    X11WindowSystem(const X11Connection& connection, int screenNumber);
    quint32 atom(Atom which) const { return m_atoms[which]; }
    bool queryCompositing() const;
    bool wmSupports(quint32 atom) const;
    // Whether a window manager runs and cannot keep a window above the others.
    bool wmCannotKeepAbove() const;
    void completeStatesAfterMap(quint32 window);
    QList<quint32> atomList(quint32 window, quint32 property) const;

    X11Connection m_x;
    quint32 m_root = 0;
    quint32 m_atoms[AtomCount] = {};
    int m_xfixesFirstEvent = -1;
    bool m_compositing = false;
    bool m_unmanaged = false;
    // Panels shown since their last map, whose states are checked once the window manager has mapped them.
    QSet<quint32> m_awaitingMap;
    QSet<quint32> m_awaitingDesktop; // asked to go on every desktop after the map
};
