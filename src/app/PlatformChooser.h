#pragma once

#include "platform/PlatformServices.h"

// The one place that knows every platform backend and picks the one that
// works in this session; the rest of the program sees only PlatformServices.
namespace PlatformChooser {

// Asks Qt for the platform the backends need (Runeboard's windows are X11
// windows, through Xwayland on Wayland). Call before the QApplication exists.
void prepareQt();

// The services of the first backend that works here: GNOME on Wayland (its
// own, through Runeboard's GNOME Shell extension); a Wayland compositor with
// a virtual keyboard; X11 (through Xwayland too); otherwise stand-ins
// that only say why nothing can be typed. Call after the QApplication exists.
PlatformServices choose();

} // namespace PlatformChooser
