#include "SetMerge.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {
QHash<QUuid, SymbolSet> byId(const QList<SymbolSet>& sets) {
    QHash<QUuid, SymbolSet> map;
    for (const SymbolSet& p : sets)
        map.insert(p.id, p);
    return map;
}

bool hasPresetNamed(const QList<SymbolSet>& sets, const QString& name) {
    return std::any_of(sets.cbegin(), sets.cend(),
                       [&name](const SymbolSet& p) { return p.isSystem && p.name == name; });
}
} // namespace

QList<SymbolSet> SetMerge::merged(const std::optional<QList<SymbolSet>>& base, const QList<SymbolSet>& mine,
                                  const QList<SymbolSet>& theirs) {
    const QHash<QUuid, SymbolSet> before = byId(base.value_or(QList<SymbolSet>()));
    const QHash<QUuid, SymbolSet> ours = byId(mine);
    const auto changedHere = [&](const QUuid& id) {
        return !before.contains(id) || !ours.contains(id) || ours.value(id) != before.value(id);
    };

    QList<SymbolSet> result;
    QSet<QUuid> placed;
    for (const SymbolSet& their : theirs) {
        placed.insert(their.id);
        if (before.contains(their.id) && changedHere(their.id)) {
            if (ours.contains(their.id))
                result.append(ours.value(their.id)); // edited here; deleted here otherwise
        } else if (ours.contains(their.id)) {
            result.append(before.contains(their.id) ? their : ours.value(their.id));
        } else if (base || !their.isSystem || !hasPresetNamed(mine, their.name)) {
            // Without a readable base both sides may have installed the
            // presets, each with its own identifiers: they are one set each.
            result.append(their);
        }
    }
    for (const SymbolSet& our : mine) {
        if (placed.contains(our.id))
            continue;
        // Deleted there: gone, unless it was edited here since.
        if (!before.contains(our.id) || changedHere(our.id))
            result.append(our);
    }

    // Both sides chose a main set: this process's choice is the later one here.
    const auto isMain = [](const SymbolSet& p) { return p.isMain; };
    if (std::count_if(result.cbegin(), result.cend(), isMain) > 1) {
        const auto ourMain = std::find_if(mine.cbegin(), mine.cend(), isMain);
        QUuid keep = std::find_if(result.cbegin(), result.cend(), isMain)->id;
        if (ourMain != mine.cend() && std::any_of(result.cbegin(), result.cend(), [&](const SymbolSet& p) {
                return p.isMain && p.id == ourMain->id;
            }))
            keep = ourMain->id;
        for (SymbolSet& p : result)
            p.isMain = p.isMain && p.id == keep;
    }
    return result;
}
