// Clicks and presses keys in a headless KWin through its fake input, which
// KWin lends only to a program named by an installed desktop file (KwinSession
// writes one for this tool). Each argument is one step, done in turn and
// waited for: "click X Y" (the left button at output coordinates), "press
// CODE..." and "release CODE..." (evdev key codes). Exits 2 when KWin does not
// lend fake input (yet: it reads new desktop files within a second or so).
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

namespace {
org_kde_kwin_fake_input* fakeInput = nullptr;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        fakeInput = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
constexpr uint32_t leftButton = 0x110;
} // namespace

int main(int argc, char* argv[]) {
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return 1;
    static const wl_registry_listener listener = {global, globalRemove};
    wl_registry_add_listener(wl_display_get_registry(display), &listener, nullptr);
    wl_display_roundtrip(display);
    if (!fakeInput) {
        std::fputs("KWin lends no fake input to this program\n", stderr);
        return 2;
    }
    org_kde_kwin_fake_input_authenticate(fakeInput, "rb-kwin-input", "end-to-end tests");
    for (int i = 1; i < argc; ++i) {
        std::istringstream step(argv[i]);
        std::string verb;
        step >> verb;
        if (verb == "click") {
            double x = 0, y = 0;
            step >> x >> y;
            org_kde_kwin_fake_input_pointer_motion_absolute(fakeInput, wl_fixed_from_double(x),
                                                            wl_fixed_from_double(y));
            org_kde_kwin_fake_input_button(fakeInput, leftButton, 1);
            org_kde_kwin_fake_input_button(fakeInput, leftButton, 0);
        } else if (verb == "press" || verb == "release") {
            for (uint32_t code; step >> code;)
                org_kde_kwin_fake_input_keyboard_key(fakeInput, code, verb == "press" ? 1 : 0);
        } else {
            std::fprintf(stderr, "unknown step: %s\n", argv[i]);
            return 1;
        }
        if (wl_display_roundtrip(display) < 0)
            return 1;
    }
    wl_display_disconnect(display);
    return 0;
}
