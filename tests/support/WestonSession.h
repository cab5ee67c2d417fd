#pragma once

#include "UserSession.h"

// A private headless weston 10 with Xwayland for one end-to-end test
// executable; as `nobody` when the tests run as root, and so is every program
// started here (see UserSession). weston offers no virtual keyboard, so
// Runeboard types through Xwayland here, as it does on GNOME and KDE Plasma.
//
// The headless backend has no seat, so weston never gives any window the
// focus, and it takes the focus back from a program that sets it. The X focus
// stays PointerRoot: keys go to the window under the pointer, which stays in
// the middle of the output. kiosk-shell shows each new window over the whole
// output, so the newest receiver is the one that gets the keys.
class WestonSession : public UserSession {
public:
    bool start(QString* error);
    // WAYLAND_DISPLAY, DISPLAY (Xwayland), XDG folders, a UTF-8 locale and QT_QPA_PLATFORM=xcb.
    QProcessEnvironment environment() const override;
    // Waits until the window is the one under the pointer, which takes the keys here.
    bool focusWindow(const QString& windowId) override;
};
