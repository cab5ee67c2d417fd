// Clicks the left button at points of a wlroots compositor's output through
// one virtual pointer: says "ok" once the compositor has the pointer, then
// reads "X Y" lines from standard input, answers "ok" once each click is
// handled, and ends at the end of input. The output is 1280 × 800, as
// SwaySession makes it.
//
// One pointer for the whole session, made before any X client starts
// Xwayland: a seat that gains its first pointer later makes Xwayland add an
// input device while the first clicks arrive, and it loses one now and then.
// On a desktop the seat has its pointer long before, and sway 1.7 can fall
// over when pointer devices come and go while an Xwayland window is under
// the cursor.
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {
wl_seat* seat = nullptr;
zwlr_virtual_pointer_manager_v1* manager = nullptr;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
constexpr uint32_t leftButton = 0x110;
constexpr uint32_t width = 1280, height = 800;
} // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return 1;
    static const wl_registry_listener listener = {global, globalRemove};
    wl_registry_add_listener(wl_display_get_registry(display), &listener, nullptr);
    wl_display_roundtrip(display);
    if (!manager || !seat) {
        std::fputs("the compositor offers no virtual pointer\n", stderr);
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    wl_display_roundtrip(display); // the compositor has added the device
    std::puts("ok");
    std::fflush(stdout);
    uint32_t time = 1;
    unsigned x = 0, y = 0;
    while (std::scanf("%u %u", &x, &y) == 2) {
        // Moved onto the point from beside it, as a hand would: the window under it sees the pointer arrive.
        for (unsigned dx : {1u, 0u}) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, ++time, x - dx, y, width, height);
            zwlr_virtual_pointer_v1_frame(pointer);
            wl_display_roundtrip(display);
        }
        for (uint32_t state : {1u, 0u}) {
            zwlr_virtual_pointer_v1_button(pointer, ++time, leftButton, state);
            zwlr_virtual_pointer_v1_frame(pointer);
            if (wl_display_roundtrip(display) < 0)
                return 1;
        }
        std::puts("ok");
        std::fflush(stdout);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
