#pragma once

#include "platform/PlatformServices.h"

#include <optional>

// The platform services on a Wayland compositor that offers the virtual
// keyboard (sway and the other wlroots compositors): typing through
// Runeboard's own virtual keyboard, hotkeys through the compositor's
// bindings, and Runeboard's windows on xcb through Xwayland, the keyboard
// panel unmanaged so that clicking it leaves the focus where it is.
namespace WaylandPlatform {

// Nothing when WAYLAND_DISPLAY is unset, or the compositor cannot be reached
// or has no virtual keyboard (*whyNot says which): the X11 services (through
// Xwayland) are all there is then. Call after the QApplication exists.
std::optional<PlatformServices> create(UserText* whyNot);

// Why the compositor named by WAYLAND_DISPLAY cannot be reached within a few
// seconds (typing_wayland_cannot_connect, typing_wayland_no_answer); empty
// when it answers or none is named. Needs no QApplication.
UserText compositorProblem();

} // namespace WaylandPlatform
