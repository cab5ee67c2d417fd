#!/usr/bin/python3
# A GTK window with one focused entry that writes its whole text to a file at
# every change, so an end-to-end test can compare what a GTK program received
# with what was typed. With a fourth argument it first puts that text on the
# clipboard, as a user's copy would.
# usage: rb-gtk-entry-receiver 3|4 OUTPUT-FILE WINDOW-TITLE [CLIPBOARD-TEXT]
import os
import sys

import gi

version, output, title = sys.argv[1], sys.argv[2], sys.argv[3]
clipboard = sys.argv[4] if len(sys.argv) > 4 else None
gi.require_version('Gtk', '4.0' if version == '4' else '3.0')
gi.require_version('Gdk', '4.0' if version == '4' else '3.0')
from gi.repository import Gdk, GLib, Gtk  # noqa: E402


def save(entry):
    partial = output + '.partial'
    with open(partial, 'w', encoding='utf-8') as f:
        f.write(entry.get_text())
    os.replace(partial, output)


entry = Gtk.Entry()
entry.connect('changed', save)
if version == '4':
    window = Gtk.Window(title=title)
    window.set_child(entry)
    window.connect('close-request', lambda w: os._exit(0))
    if clipboard is not None:
        # A window may set the clipboard once it has the keyboard focus.
        def copy(window, _):
            if window.is_active():
                entry.get_clipboard().set_content(Gdk.ContentProvider.new_for_value(clipboard))
        window.connect('notify::is-active', copy)
    window.present()
    entry.grab_focus()
    save(entry)
    GLib.MainLoop().run()
else:
    window = Gtk.Window(title=title)
    window.add(entry)
    window.connect('destroy', Gtk.main_quit)
    window.show_all()
    if clipboard is not None:
        Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD).set_text(clipboard, -1)
    entry.grab_focus()
    save(entry)
    Gtk.main()
