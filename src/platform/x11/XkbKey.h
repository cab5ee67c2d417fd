#pragma once

#include <QList>

#include <optional>

// One keycode's symbols as XKB holds them, which tells a key that Runeboard
// bound from the keys of a layout: Runeboard's keys have one group of two
// levels of its own key type, both carrying the same keysym.
struct XkbKey {
    quint8 groups = 0;
    quint8 width = 0;       // levels per group
    quint8 type = 0;        // the key type of the first group
    QList<quint32> symbols; // groups × width keysyms, NoSymbol included

    // The keysym of a key shaped as Runeboard binds with `boundType`; nothing for any other key.
    std::optional<quint32> boundSymbol(quint8 boundType) const {
        if (groups != 1 || width != 2 || type != boundType || symbols.size() != 2 || symbols[0] == 0 ||
            symbols[0] != symbols[1])
            return std::nullopt;
        return symbols[0];
    }
};
