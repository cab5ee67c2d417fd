#pragma once

#include <QByteArray>
#include <QObject>

class QWindow;

// What the desktop's window manager needs to be told about our windows beyond
// what Qt says for us: who they are, and for the keyboard panel that it lives
// on every desktop without a task-bar entry. Also answers whether a compositor
// draws translucent windows, and moves the keyboard focus between windows of
// other programs.
class WindowSystem : public QObject {
    Q_OBJECT
public:
    using WindowId = quint64;

    using QObject::QObject;
    ~WindowSystem() override = default;

    // Names a created window for window-manager rules: the application's class
    // and the given role ("keyboard", "settings", "help").
    virtual void setIdentity(QWindow& window, const QByteArray& role) = 0;
    // Called on a created window before every show: on all desktops, above
    // normal windows, no task-bar or pager entry. The window manager forgets
    // these when the window is hidden.
    virtual void prepareFloatingShow(QWindow& window) = 0;
    // Whether the window manager may offer the window the keyboard focus at
    // all. Qt's own flag only covers direct focus; window managers that offer
    // focus through a protocol message would still move it away from the
    // program the user types into.
    virtual void setAcceptsFocus(QWindow& window, bool accepts) = 0;

    // True where the keyboard panel must bypass the window manager (an
    // override-redirect window): a Wayland compositor hands the focus to any
    // window it manages once it is clicked. It then places, raises and moves itself.
    virtual bool floatsUnmanaged() const { return false; }

    // True while a compositor draws windows with an alpha channel.
    virtual bool isCompositing() const = 0;

    // The window that has the keyboard focus (0 when unknown).
    virtual WindowId activeWindow() const = 0;
    // Asks the window manager to give the focus to a window, as a pager would.
    virtual void activateWindow(WindowId window) = 0;

Q_SIGNALS:
    void compositingChanged(bool compositing);
};
