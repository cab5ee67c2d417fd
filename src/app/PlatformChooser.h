#pragma once

#include "platform/PlatformServices.h"

// The one place that knows every platform backend and picks the one that
// works in this session; the rest of the program sees only PlatformServices.
namespace PlatformChooser {

// Asks Qt for the platform the backends need (Runeboard's windows are X11
// windows, through Xwayland on Wayland). Call before the QApplication exists.
void prepareQt();
// Why the Wayland compositor named by WAYLAND_DISPLAY, which is there, does
// not answer within a few seconds; empty when it does or none is named. Ask
// before the QApplication exists: Qt would wait for such a compositor as long
// as it stays stopped (Xwayland starts with its help), and nothing could be
// typed anyway.
UserText unansweredCompositor();

// The services of the first backend that works here: GNOME on Wayland (its
// own, through Runeboard's GNOME Shell extension); KDE Plasma on Wayland
// (pasting through KWin's fake input); a Wayland compositor with
// a virtual keyboard; X11 (through Xwayland too); otherwise stand-ins
// that only say why nothing can be typed. Call after the QApplication exists.
PlatformServices choose();

// True when `why` says that the session's Wayland compositor cannot be reached.
bool isUnreachableCompositor(const UserText& why);

} // namespace PlatformChooser
