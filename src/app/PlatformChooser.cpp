#include "app/PlatformChooser.h"

#include "platform/gnome/GnomePlatform.h"
#include "platform/null/NullPlatform.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/x11/X11Platform.h"

namespace PlatformChooser {

void prepareQt() {
    X11Platform::preferXcb();
}

PlatformServices choose() {
    if (std::optional<PlatformServices> gnome = GnomePlatform::create())
        return std::move(*gnome);
    UserText whyNotWayland;
    if (std::optional<PlatformServices> wayland = WaylandPlatform::create(&whyNotWayland))
        return std::move(*wayland);
    UserText whyNotX11;
    if (std::optional<PlatformServices> x11 = X11Platform::create(&whyNotX11))
        return std::move(*x11);
    return NullPlatform::create(whyNotX11);
}

} // namespace PlatformChooser
