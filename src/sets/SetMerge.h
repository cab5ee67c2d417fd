#pragma once

#include "sets/SymbolSet.h"

#include <optional>

// Two Runeboards sharing one configuration meet here: the sets as this
// process last read or wrote them (base), as it holds them now (mine) and as
// the file holds them now (theirs). The last edit of each set wins: a set this
// process changed keeps its version, a set only the other process changed
// takes theirs, and sets added or deleted on either side stay added or deleted.
class SetMerge {
public:
    static QList<SymbolSet> merged(const std::optional<QList<SymbolSet>>& base, const QList<SymbolSet>& mine,
                                   const QList<SymbolSet>& theirs);
};
