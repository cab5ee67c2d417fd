#pragma once

#include "platform/PlatformServices.h"

#include <QByteArray>

#include <optional>

// The platform services on GNOME on Wayland (mutter offers no virtual keyboard
// and lets no program grab keys): typing, hotkeys and Shift through
// Runeboard's GNOME Shell extension whenever it answers, X11 programs through
// the X11 engine, Runeboard's windows on xcb through Xwayland with the panel
// unmanaged so that clicking it leaves the focus where it is. Until the
// extension answers, the X11 services stand in, and `setup` says what the
// user can do about it.
//
//   std::optional<PlatformServices> gnome = GnomePlatform::create(); // after the QApplication
namespace GnomePlatform {

// A GNOME session on Wayland, judged from the environment alone.
bool isGnomeWayland(const QByteArray& currentDesktop, const QByteArray& sessionType,
                    const QByteArray& waylandDisplay);

// Nothing outside a GNOME session on Wayland.
std::optional<PlatformServices> create();

} // namespace GnomePlatform
