// Small X11 actions the end-to-end tests need and no standard tool offers:
//   grab KEYCODE MODIFIERS   hold a passive grab on the root window, as another
//                            program would, until ended ("grabbed" or "refused N")
//   lock-group N             make layout group N the locked (active) group
//   keys KEYCODE...          press the keys in order by keycode (physical key),
//                            then release them in reverse order
#include <xcb/xcb.h>
#include <xcb/xtest.h>
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fputs("usage: rb-x11-helper grab KEYCODE MODIFIERS | lock-group N | keys KEYCODE...\n", stderr);
        return 2;
    }
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fputs("rb-x11-helper: cannot connect to the X display\n", stderr);
        return 1;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;

    if (std::strcmp(argv[1], "grab") == 0 && argc == 4) {
        const auto keycode = xcb_keycode_t(std::atoi(argv[2]));
        const auto modifiers = uint16_t(std::atoi(argv[3]));
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_grab_key_checked(c, 1, root, modifiers, keycode, XCB_GRAB_MODE_ASYNC,
                                                      XCB_GRAB_MODE_ASYNC));
        if (error) {
            std::printf("refused %d\n", error->error_code);
            return 1;
        }
        std::puts("grabbed");
        std::fflush(stdout);
        while (xcb_generic_event_t* event = xcb_wait_for_event(c))
            std::free(event);
        return 0;
    }
    if (std::strcmp(argv[1], "lock-group") == 0 && argc == 3) {
        xcb_xkb_use_extension_reply_t* use =
            xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, 1, 0), nullptr);
        std::free(use);
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_xkb_latch_lock_state_checked(c, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1,
                                                                  uint8_t(std::atoi(argv[2])), 0, 0, 0));
        return error ? 1 : 0;
    }
    if (std::strcmp(argv[1], "keys") == 0 && argc >= 3) {
        std::vector<xcb_keycode_t> keys;
        for (int i = 2; i < argc; ++i)
            keys.push_back(xcb_keycode_t(std::atoi(argv[i])));
        for (xcb_keycode_t key : keys)
            xcb_test_fake_input(c, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        for (auto it = keys.rbegin(); it != keys.rend(); ++it)
            xcb_test_fake_input(c, XCB_KEY_RELEASE, *it, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip
        return 0;
    }
    std::fputs("rb-x11-helper: unknown command\n", stderr);
    return 2;
}
