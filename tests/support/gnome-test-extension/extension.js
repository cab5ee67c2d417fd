// What Runeboard's end-to-end tests need from a headless GNOME Shell and no
// program can otherwise get there: which window has the focus, the overview
// out of the way, the X display, and a virtual pointer and keyboard.
/* exported init */
const {Clutter, Gio, GLib, Meta} = imports.gi;
const Main = imports.ui.main;

const INTERFACE = `
<node>
  <interface name="org.runeboard.TestAid">
    <method name="Info">
      <arg type="s" direction="out" name="json"/>
    </method>
    <method name="HideOverview"/>
    <method name="Click">
      <arg type="a(dd)" direction="in" name="points"/>
    </method>
    <method name="Keys">
      <arg type="au" direction="in" name="press"/>
      <arg type="au" direction="in" name="release"/>
    </method>
  </interface>
</node>`;

class TestAid {
    constructor() {
        this._exported = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
    }

    enable() {
        const seat = Clutter.get_default_backend().get_default_seat();
        this._pointer = seat.create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
        this._keyboard = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
        this._exported.export(Gio.DBus.session, '/org/runeboard/TestAid');
        this._name = Gio.bus_own_name_on_connection(Gio.DBus.session, 'org.runeboard.TestAid',
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        this._exported.unexport();
        Gio.bus_unown_name(this._name);
    }

    Info() {
        const window = global.display.focus_window;
        return JSON.stringify({
            focus: window ? window.get_title() : '',
            x11: window ? window.get_client_type() === Meta.WindowClientType.X11 : false,
            textInput: Main.inputMethod.currentFocus !== null,
            overview: Main.overview.visible,
            startingUp: Main.layoutManager._startingUp,
            display: GLib.getenv('DISPLAY') ?? '',
            xauthority: GLib.getenv('XAUTHORITY') ?? '',
        });
    }

    HideOverview() {
        Main.overview.hide();
    }

    // Left clicks at each point in turn, as fast as the device can send them.
    // Each is reached from beside it, as a hand would: a window that appeared
    // under a resting pointer learns of the pointer only when it moves.
    Click(points) {
        let time = GLib.get_monotonic_time();
        for (const [x, y] of points) {
            this._pointer.notify_absolute_motion(time++, x - 1, y);
            this._pointer.notify_absolute_motion(time++, x, y);
            this._pointer.notify_button(time++, Clutter.BUTTON_PRIMARY, Clutter.ButtonState.PRESSED);
            this._pointer.notify_button(time++, Clutter.BUTTON_PRIMARY, Clutter.ButtonState.RELEASED);
        }
    }

    // Presses, then releases, evdev key codes in the order given.
    Keys(press, release) {
        let time = GLib.get_monotonic_time();
        for (const key of press)
            this._keyboard.notify_key(time++, key, Clutter.KeyState.PRESSED);
        for (const key of release)
            this._keyboard.notify_key(time++, key, Clutter.KeyState.RELEASED);
    }
}

function init() {
    return new TestAid();
}
