#pragma once

#include "sets/SymbolSet.h"

#include <QString>
#include <QUuid>

// The unsaved set: symbols the user collects before saving them as a set of
// their own. It is never stored among the sets; the active-set setting
// selects it by the all-zero identifier or, when the Sets tab started it
// empty, by the word "customEmpty". Both forms are in stored files.
struct UnsavedSet {
    // Never given to a stored set.
    static inline const QUuid id{};
    static inline const QString idText = QStringLiteral("00000000-0000-0000-0000-000000000000");
    // What the Sets tab's Custom row writes as the active set.
    static inline const QString startedEmpty = QStringLiteral("customEmpty");

    static bool isSelectedBy(const QString& activeSetId) {
        return activeSetId == idText || activeSetId == startedEmpty;
    }
    // The set shown for the unsaved characters.
    static SymbolSet withCharacters(const QString& customCharacters) {
        SymbolSet set;
        set.id = id;
        set.name = QStringLiteral("Custom");
        set.customCharacters = customCharacters;
        return set;
    }
};
