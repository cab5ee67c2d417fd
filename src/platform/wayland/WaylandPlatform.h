#pragma once

#include "platform/PlatformServices.h"

#include <optional>

// The platform services on a Wayland compositor that offers the virtual
// keyboard (sway and the other wlroots compositors): typing through
// Runeboard's own virtual keyboard, hotkeys through the compositor's
// bindings, and Runeboard's windows on xcb through Xwayland, the keyboard
// panel unmanaged so that clicking it leaves the focus where it is.
//
//   std::optional<PlatformServices> wayland = WaylandPlatform::create(); // after the QApplication
//   PlatformServices services = wayland ? std::move(*wayland) : X11Platform::create();
namespace WaylandPlatform {

// Nothing when WAYLAND_DISPLAY is unset, or the compositor cannot be reached
// or has no virtual keyboard: the X11 services (through Xwayland) are all
// there is then.
std::optional<PlatformServices> create();

} // namespace WaylandPlatform
