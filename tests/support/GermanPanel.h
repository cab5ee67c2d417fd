#pragma once

#include "keyboard/view/layout/KeyboardLayout.h"
#include "sets/SetStore.h"
#include "storage/SettingsStore.h"

#include <algorithm>

// The German preset as the main set of the configuration under configHome, each of `additional` an
// additional set; returns the id of the last of those.
inline QString chooseGermanPreset(const QString& configHome, const QStringList& additional = {}) {
    SettingsStore store(configHome + QStringLiteral("/runeboard/runeboard.conf"));
    SetStore sets(store, QStringLiteral("en"));
    const QList<SymbolSet> all = sets.sets(); // setting the main set rewrites the list
    const auto id = [&](const QString& name) { return std::ranges::find(all, name, &SymbolSet::name)->id; };
    sets.setMainSet(id(QStringLiteral("preset_german")));
    QUuid last;
    for (const QString& name : additional)
        sets.toggleAdditional(last = id(name));
    return SymbolSet::idText(last);
}

// Where the panel of the German preset puts its keys, with these custom keys.
inline KeyboardLayout germanLayout(const QStringList& custom = {}, bool adding = false,
                                   bool shiftKey = false) {
    KeyboardLayoutInput in;
    in.baseSymbols = SymbolSet::graphemes(QStringLiteral("äöüß"));
    in.customSymbols = custom;
    in.isAddingMode = adding;
    in.activeAddingSection = 1;
    in.shiftKey = shiftKey;
    return KeyboardLayout::compute(in);
}
