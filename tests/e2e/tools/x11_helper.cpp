// Small X11 actions the end-to-end tests need and no standard tool offers:
//   grab KEYCODE MODIFIERS   hold a passive grab on the root window, as another
//                            program would, until ended ("grabbed" or "refused N")
//   lock-group N             make layout group N the locked (active) group
//   keys KEYCODE...          press the keys in order by keycode (physical key),
//                            then release them in reverse order
//   compositor               stand in for a compositing manager: own _NET_WM_CM_S0
//                            until ended, which is all a client looks at to decide
//                            whether it may be translucent ("owning")
//   tray                     stand in for a system tray that appears after the
//                            programs: take _NET_SYSTEM_TRAY_S0, announce it with a
//                            MANAGER message, print "dock WINDOW" for every icon
//                            that asks to be docked
//   xkb-map                  print the core keyboard's whole XKB map (key types, symbols,
//                            actions, behaviours, explicit components, modifier maps)
//                            byte for byte in hex, for comparing two moments exactly
#include <xcb/xcb.h>
#include <xcb/xtest.h>
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, false, std::strlen(name), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return value;
}

// Owns the selection with a window of its own; the ownership ends with the connection.
xcb_window_t own(xcb_connection_t* c, xcb_window_t root, xcb_atom_t selection) {
    const xcb_window_t owner = xcb_generate_id(c);
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, owner, root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    xcb_set_selection_owner(c, owner, selection, XCB_CURRENT_TIME);
    return owner;
}

void say(const char* line) {
    std::puts(line);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fputs(
            "usage: rb-x11-helper grab KEYCODE MODIFIERS | lock-group N | keys KEYCODE... | compositor "
            "| tray | xkb-map\n",
            stderr);
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
        say("grabbed");
        while (xcb_generic_event_t* event = xcb_wait_for_event(c))
            std::free(event);
        return 0;
    }
    if (std::strcmp(argv[1], "lock-group") == 0 && argc == 3) {
        std::free(xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, 1, 0), nullptr));
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
    if (std::strcmp(argv[1], "xkb-map") == 0) {
        std::free(xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, 1, 0), nullptr));
        const uint16_t parts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                               XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS |
                               XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_KEY_BEHAVIORS |
                               XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
        xcb_xkb_get_map_reply_t* map =
            xcb_xkb_get_map_reply(c,
                                  xcb_xkb_get_map(c, XCB_XKB_ID_USE_CORE_KBD, parts, 0, 0, 0, 0, 0, 0, 0, 0,
                                                  0, 0, 0, 0, 0, 0, 0, 0),
                                  nullptr);
        if (!map)
            return 1;
        map->sequence = 0;
        const auto* bytes = reinterpret_cast<const uint8_t*>(map);
        const size_t size = 32 + size_t(map->length) * 4;
        for (size_t i = 0; i < size; ++i)
            std::printf("%02x%s", bytes[i], i % 32 == 31 ? "\n" : "");
        std::puts("");
        std::free(map);
        return 0;
    }
    if (std::strcmp(argv[1], "compositor") == 0) {
        own(c, root, atom(c, "_NET_WM_CM_S0"));
        xcb_flush(c);
        say("owning");
        while (xcb_generic_event_t* event = xcb_wait_for_event(c))
            std::free(event);
        return 0;
    }
    if (std::strcmp(argv[1], "tray") == 0) {
        const xcb_atom_t selection = atom(c, "_NET_SYSTEM_TRAY_S0");
        const xcb_atom_t opcode = atom(c, "_NET_SYSTEM_TRAY_OPCODE");
        xcb_client_message_event_t announce{};
        announce.response_type = XCB_CLIENT_MESSAGE;
        announce.format = 32;
        announce.window = root;
        announce.type = atom(c, "MANAGER");
        announce.data.data32[0] = XCB_CURRENT_TIME;
        announce.data.data32[1] = selection;
        announce.data.data32[2] = own(c, root, selection);
        xcb_send_event(c, false, root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&announce));
        xcb_flush(c);
        while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            // SYSTEM_TRAY_REQUEST_DOCK is opcode 0; the icon's window is the third word.
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && message->type == opcode &&
                message->data.data32[1] == 0) {
                std::printf("dock %u\n", message->data.data32[2]);
                std::fflush(stdout);
            }
            std::free(event);
        }
        return 0;
    }
    std::fputs("rb-x11-helper: unknown command\n", stderr);
    return 2;
}
