#pragma once

#include "platform/HotkeyService.h"
#include "platform/x11/HotkeyGrabRules.h"
#include "platform/x11/X11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QSet>

// Global hotkeys as passive key grabs on the root window. A combination is
// grabbed by keycode, the physical key, so it works whichever layout is
// active, and once for every combination of the lock modifiers, since X
// matches the modifier state exactly. A grab another client holds fails with
// BadAccess (10), which is the status returned; no X error reaches an error
// handler. Grabs are renewed when the modifier map or the keyboard changes.
class X11HotkeyService : public HotkeyService, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11HotkeyService(const X11Connection& connection, QObject* parent = nullptr);
    ~X11HotkeyService() override;

    Registration registerHotkey(PhysicalKey key, HotkeyModifiers modifiers, quint32 id) override;
    void unregisterHotkey(Handle handle) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        quint8 keycode = 0;
        quint16 modifiers = 0;
        quint32 id = 0;
    };

    int grab(const Grab& grab);
    void ungrab(const Grab& grab);
    void queueRegrab();
    void regrabIfLocksMoved(bool keyboardReplaced);
    void warnAboutLayoutSwitch(quint16 modifiers);

    X11Connection m_x;
    quint8 m_xkbEventBase = 0;
    HotkeyGrabRules::LockMasks m_locks;
    QHash<Handle, Grab> m_grabs;
    Handle m_nextHandle = 1;
    QSet<quint8> m_held; // keycodes of combinations being held (auto-repeat fires nothing)
    bool m_regrabQueued = false;
    bool m_keyboardReplaced = false;
    bool m_layoutSwitchChecked = false;
};
