#pragma once

#include "sets/SymbolSet.h"

// The sixteen preset sets, in catalogue order, each with a fresh identifier,
// none main or additional, all marked as system sets.
QList<SymbolSet> presetCatalogue();
