#pragma once

#include <QList>

#include <algorithm>
#include <array>

// One keycode's symbols as XKB holds them, which tells a key that Runeboard
// bound from every other key: Runeboard's keys have one group of two levels
// (the second typed with Shift, and the same as the first unless two symbols
// share the key) and its key type in all four type slots.
//
// The last mark is what only Runeboard's own requests leave: a key with one
// group leaves the slots of groups two to four unused, and neither a compiled
// layout (setxkbmap, the server's keymap at start, Xwayland's from the
// compositor) nor a core request (xmodmap, xdotool, any program that binds
// through Xlib) sets them; they stay 0. Runeboard sets them on purpose, to a
// type that is never 0 (X11KeyboardDevice), so no key of a layout matches.
struct XkbKey {
    quint8 groups = 0;
    quint8 width = 0;              // levels per group
    std::array<quint8, 4> types{}; // the key type of each group's slot, unused slots included
    QList<quint32> symbols;        // groups × width keysyms, NoSymbol included

    // The keysyms of a key shaped as Runeboard binds with `boundType`; none for any other key.
    QList<quint32> boundSymbols(quint8 boundType) const {
        const bool ownTypes =
            std::all_of(types.cbegin(), types.cend(), [boundType](quint8 type) { return type == boundType; });
        if (groups != 1 || width != 2 || !ownTypes || symbols.size() != 2 || symbols[0] == 0 ||
            symbols[1] == 0)
            return {};
        return symbols;
    }
};
