#pragma once

#include <QString>

// `runeboard --find WORDS`: prints the symbols whose names match, best first,
// one a line: the symbol, its code points and its name, separated by tabs.
// Needs no display and no running Runeboard. Returns the exit code: 0 when
// something matched, 1 when nothing did (said on standard error).
int runFindCommand(const QString& words);
