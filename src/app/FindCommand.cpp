#include "FindCommand.h"

#include "names/NameIndex.h"
#include "platform/Log.h"

namespace {
// Enough for a terminal to scroll through; a script wanting the best one reads the first line.
constexpr int shownMatches = 50;
} // namespace

int runFindCommand(const QString& words) {
    const NameIndex index;
    const QList<NameIndex::Match> matches = index.find(words, shownMatches);
    if (matches.isEmpty()) {
        Log::line(QStringLiteral("runeboard: no symbol has a name with the words '%1'").arg(words), stderr);
        return 1;
    }
    for (const NameIndex::Match& match : matches)
        Log::line(match.symbol + u'\t' + NameIndex::codePoints(match.symbol) + u'\t' + match.name);
    return 0;
}
