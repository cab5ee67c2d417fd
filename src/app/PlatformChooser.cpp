#include "app/PlatformChooser.h"

#include "platform/gnome/GnomePlatform.h"
#include "platform/kde/KdePlatform.h"
#include "platform/null/NullPlatform.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/x11/X11Platform.h"

namespace PlatformChooser {
namespace {
bool isUnanswered(const UserText& whyNotWayland) {
    return whyNotWayland.key == QLatin1String("typing_wayland_no_answer");
}
} // namespace

void prepareQt() {
    X11Platform::preferXcb();
}

UserText unansweredCompositor() {
    const UserText problem = WaylandPlatform::compositorProblem();
    return isUnanswered(problem) ? problem : UserText();
}

PlatformServices choose() {
    if (std::optional<PlatformServices> gnome = GnomePlatform::create())
        return std::move(*gnome);
    if (std::optional<PlatformServices> kde = KdePlatform::create())
        return std::move(*kde);
    UserText whyNotWayland;
    if (std::optional<PlatformServices> wayland = WaylandPlatform::create(&whyNotWayland))
        return std::move(*wayland);
    // Typed into Xwayland, keys would go nowhere while its compositor does not answer.
    if (isUnanswered(whyNotWayland))
        return NullPlatform::create(whyNotWayland);
    UserText whyNotX11;
    if (std::optional<PlatformServices> x11 = X11Platform::create(&whyNotX11))
        return std::move(*x11);
    // A compositor named by the session but not reached says more than what X11 lacks: nothing
    // works before it does, Xwayland included.
    return NullPlatform::create(isUnreachableCompositor(whyNotWayland) ? whyNotWayland : whyNotX11);
}

bool isUnreachableCompositor(const UserText& why) {
    return isUnanswered(why) || why.key == QLatin1String("typing_wayland_cannot_connect");
}

} // namespace PlatformChooser
