// Runeboard's way into GNOME Shell: a D-Bus service on the session bus that
// commits text through the shell's input method, presses the paste keys,
// reports the Shift key and owns Runeboard's hotkeys. Any program on the
// session bus could call it, and it types into the focused window, so only a
// caller that proves it can read a secret in the user's private runtime folder
// (Runeboard) is served. Shared by both entry points (GNOME 43–44 and 45+).
import Clutter from 'gi://Clutter';
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';

const BUS_NAME = 'org.runeboard.Runeboard.GnomeShell';
const OBJECT_PATH = '/org/runeboard/Runeboard/GnomeShell';
// Raised whenever a method changes in a way Runeboard must know about.
const API_VERSION = 1;
// Each clipboard offer of Runeboard's paste route carries a type of its own that starts so.
const PASTE_MARKER = 'application/x-runeboard-paste';
const PASTE_WAIT_MS = 1000;
const TOKEN_FILE = 'gnome-shell.token';
const ACCESS_DENIED = 'org.freedesktop.DBus.Error.AccessDenied';
const INVALID_ARGS = 'org.freedesktop.DBus.Error.InvalidArgs';
const FAILED = 'org.freedesktop.DBus.Error.Failed';

const INTERFACE = `
<node>
  <interface name="${BUS_NAME}">
    <method name="Claim">
      <arg type="s" direction="in" name="token"/>
      <arg type="u" direction="out" name="version"/>
    </method>
    <method name="Commit">
      <arg type="s" direction="in" name="text"/>
      <arg type="s" direction="out" name="route"/>
    </method>
    <method name="Paste">
      <arg type="au" direction="in" name="keys"/>
      <arg type="au" direction="in" name="keysUnderShift"/>
      <arg type="s" direction="in" name="marker"/>
    </method>
    <method name="ShiftHeld">
      <arg type="b" direction="out" name="held"/>
    </method>
    <method name="GrabAccelerator">
      <arg type="s" direction="in" name="accelerator"/>
      <arg type="u" direction="out" name="action"/>
    </method>
    <method name="UngrabAccelerator">
      <arg type="u" direction="in" name="action"/>
    </method>
    <signal name="ShiftChanged">
      <arg type="b" name="held"/>
    </signal>
    <signal name="AcceleratorActivated">
      <arg type="u" name="action"/>
    </signal>
  </interface>
</node>`;

function shiftHeld() {
    const [, , modifiers] = global.get_pointer();
    return (modifiers & Clutter.ModifierType.SHIFT_MASK) !== 0;
}

// 32 bytes from the kernel's generator, as hex.
function randomToken() {
    const stream = Gio.File.new_for_path('/dev/urandom').read(null);
    const bytes = stream.read_bytes(32, null).toArray();
    stream.close(null);
    return Array.from(bytes, b => b.toString(16).padStart(2, '0')).join('');
}

// The folder Runeboard reads the secret from; made private if missing, and
// refused when anyone else could read or replace what is in it.
function privateFolder() {
    const path = GLib.build_filenamev([GLib.get_user_runtime_dir(), 'runeboard']);
    GLib.mkdir_with_parents(path, 0o700);
    const info = Gio.File.new_for_path(path).query_info('standard::type,unix::uid,unix::mode',
        Gio.FileQueryInfoFlags.NOFOLLOW_SYMLINKS, null);
    const mine = info.get_file_type() === Gio.FileType.DIRECTORY &&
        info.get_attribute_uint32('unix::uid') === new Gio.Credentials().get_unix_user() &&
        (info.get_attribute_uint32('unix::mode') & 0o077) === 0;
    if (!mine)
        throw new Error(`${path} is not a private folder of this user`);
    return path;
}

export class TypingService {
    constructor(main) {
        this._main = main;
        this._exported = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._clients = new Map(); // unique bus name → name watch id
        this._actions = new Map(); // accelerator action → unique bus name
        this._token = null;
        this._tokenPath = null;
        this._nameId = 0;
        this._keyboard = null;
        this._idleWatch = 0;
        this._shift = false;
        this._acceleratorHandler = 0;
    }

    enable() {
        try {
            this._token = randomToken();
            this._tokenPath = GLib.build_filenamev([privateFolder(), TOKEN_FILE]);
            GLib.file_set_contents_full(this._tokenPath, this._token,
                GLib.FileSetContentsFlags.CONSISTENT, 0o600);
        } catch (error) {
            // Without the secret nobody could prove to be Runeboard: serve no one.
            logError(error, 'Runeboard typing: cannot write the secret for Runeboard');
            this._token = null;
            return;
        }
        this._exported.export(Gio.DBus.session, OBJECT_PATH);
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        for (const name of [...this._clients.keys()])
            this._forget(name);
        if (this._nameId)
            Gio.bus_unown_name(this._nameId);
        this._nameId = 0;
        if (this._token)
            this._exported.unexport();
        this._removeToken();
        this._keyboard = null;
    }

    _removeToken() {
        // Only our own: a newer shell of the same user may have written its own meanwhile.
        try {
            const [, contents] = GLib.file_get_contents(this._tokenPath);
            if (new TextDecoder().decode(contents) === this._token)
                GLib.unlink(this._tokenPath);
        } catch (error) {
            // Already gone.
        }
        this._token = null;
    }

    // Every method but Claim answers only callers that have claimed.
    _caller(invocation) {
        const sender = invocation.get_sender();
        if (this._clients.has(sender))
            return sender;
        invocation.return_dbus_error(ACCESS_DENIED, 'Only Runeboard may use this service.');
        return null;
    }

    ClaimAsync([token], invocation) {
        const sender = invocation.get_sender();
        if (!this._token || token !== this._token) {
            invocation.return_dbus_error(ACCESS_DENIED, 'The secret does not match.');
            return;
        }
        if (!this._clients.has(sender)) {
            const watch = Gio.bus_watch_name_on_connection(Gio.DBus.session, sender,
                Gio.BusNameWatcherFlags.NONE, null, () => this._forget(sender));
            this._clients.set(sender, watch);
            this._updateShiftTracking();
        }
        invocation.return_value(new GLib.Variant('(u)', [API_VERSION]));
    }

    _forget(name) {
        const watch = this._clients.get(name);
        if (watch === undefined)
            return;
        Gio.bus_unwatch_name(watch);
        this._clients.delete(name);
        for (const [action, owner] of [...this._actions]) {
            if (owner === name)
                this._ungrab(action);
        }
        this._updateShiftTracking();
    }

    // A text field's program applies committed text only when mutter follows it
    // with "done", which mutter sends from an idle callback of its own; a
    // second commit before that would replace the first. So each commit waits
    // for a callback of lower priority still, after any "done" still due.
    CommitAsync([text], invocation) {
        if (!this._caller(invocation))
            return;
        GLib.idle_add(GLib.PRIORITY_DEFAULT + 2, () => {
            invocation.return_value(new GLib.Variant('(s)', [this._commit(text)]));
            return GLib.SOURCE_REMOVE;
        });
    }

    _commit(text) {
        if (this._main.inputMethod.currentFocus) {
            this._main.inputMethod.commit(text);
            return 'input-method';
        }
        // Xwayland windows take Runeboard's X11 typing; other windows get the text pasted.
        const window = global.display.focus_window;
        if (!window)
            return 'none';
        return window.get_client_type() === Meta.WindowClientType.X11 ? 'x11' : 'paste';
    }

    // Presses the keys (evdev codes) in order and releases them in reverse once
    // the clipboard offers the type `marker`: Runeboard's latest offer. The
    // shell takes a new X11 clipboard in its own time; keys pressed before
    // would paste what the clipboard held until then. While the user holds
    // Shift, which would turn Ctrl+V into Ctrl+Shift+V, `keysUnderShift` go
    // instead (Insert, making Shift+Insert).
    PasteAsync([keys, keysUnderShift, marker], invocation) {
        if (!this._caller(invocation))
            return;
        const valid = list => list.length > 0 && list.length <= 4 && list.every(k => k >= 1 && k <= 0x2ff);
        if (!valid(keys) || !valid(keysUnderShift)) {
            invocation.return_dbus_error(INVALID_ARGS, 'Between one and four evdev key codes are expected.');
            return;
        }
        if (!marker.startsWith(PASTE_MARKER)) {
            invocation.return_dbus_error(INVALID_ARGS, `The marker must start with ${PASTE_MARKER}.`);
            return;
        }
        const selection = global.display.get_selection();
        const offered = () => selection.get_mimetypes(Meta.SelectionType.SELECTION_CLIPBOARD)
            .includes(marker);
        const press = () => {
            this._pressKeys(shiftHeld() ? keysUnderShift : keys);
            invocation.return_value(null);
        };
        if (offered()) {
            press();
            return;
        }
        let changed = 0, timeout = 0;
        const finish = () => {
            selection.disconnect(changed);
            GLib.source_remove(timeout);
        };
        changed = selection.connect('owner-changed', () => {
            if (!offered())
                return;
            finish();
            press();
        });
        timeout = GLib.timeout_add(GLib.PRIORITY_DEFAULT, PASTE_WAIT_MS, () => {
            finish();
            invocation.return_dbus_error(FAILED, 'The clipboard never offered the text to paste.');
            return GLib.SOURCE_REMOVE;
        });
    }

    _pressKeys(keys) {
        if (!this._keyboard) {
            const seat = Clutter.get_default_backend().get_default_seat();
            this._keyboard = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
        }
        let time = GLib.get_monotonic_time();
        for (const key of keys)
            this._keyboard.notify_key(time++, key, Clutter.KeyState.PRESSED);
        for (const key of [...keys].reverse())
            this._keyboard.notify_key(time++, key, Clutter.KeyState.RELEASED);
    }

    ShiftHeldAsync(params, invocation) {
        if (this._caller(invocation))
            invocation.return_value(new GLib.Variant('(b)', [shiftHeld()]));
    }

    // Mutter tells nobody when a modifier changes, but its idle monitor runs a
    // watch shortly after every input event: the state is compared then, so
    // nothing runs while the user does nothing, or while no Runeboard listens.
    _updateShiftTracking() {
        const wanted = this._clients.size > 0;
        const monitor = global.backend.get_core_idle_monitor();
        if (wanted && !this._idleWatch) {
            this._shift = shiftHeld();
            this._idleWatch = monitor.add_idle_watch(1, () => this._checkShift());
        } else if (!wanted && this._idleWatch) {
            monitor.remove_watch(this._idleWatch);
            this._idleWatch = 0;
        }
    }

    _checkShift() {
        const held = shiftHeld();
        if (held === this._shift)
            return;
        this._shift = held;
        for (const name of this._clients.keys())
            this._emit(name, 'ShiftChanged', new GLib.Variant('(b)', [held]));
    }

    // Signals go to Runeboard alone: other programs learn nothing of the keyboard.
    _emit(destination, signal, parameters) {
        Gio.DBus.session.emit_signal(destination, OBJECT_PATH, BUS_NAME, signal, parameters);
    }

    // "<Alt><Shift>0x2d": modifiers and an X keycode, so the physical key fires whatever the layout.
    GrabAcceleratorAsync([accelerator], invocation) {
        const caller = this._caller(invocation);
        if (!caller)
            return;
        const action = global.display.grab_accelerator(accelerator, Meta.KeyBindingFlags.IGNORE_AUTOREPEAT);
        if (action !== Meta.KeyBindingAction.NONE) {
            this._main.wm.allowKeybinding(Meta.external_binding_name_for_action(action),
                Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW);
            this._actions.set(action, caller);
            if (!this._acceleratorHandler) {
                this._acceleratorHandler = global.display.connect('accelerator-activated',
                    (display, activated) => {
                        const owner = this._actions.get(activated);
                        if (owner)
                            this._emit(owner, 'AcceleratorActivated', new GLib.Variant('(u)', [activated]));
                    });
            }
        }
        invocation.return_value(new GLib.Variant('(u)', [action]));
    }

    UngrabAcceleratorAsync([action], invocation) {
        const caller = this._caller(invocation);
        if (!caller)
            return;
        if (this._actions.get(action) === caller)
            this._ungrab(action);
        invocation.return_value(null);
    }

    _ungrab(action) {
        global.display.ungrab_accelerator(action);
        this._main.wm.allowKeybinding(Meta.external_binding_name_for_action(action), Shell.ActionMode.NONE);
        this._actions.delete(action);
        if (this._actions.size === 0 && this._acceleratorHandler) {
            global.display.disconnect(this._acceleratorHandler);
            this._acceleratorHandler = 0;
        }
    }
}
