#include "names/SymbolFamiliarity.h"

#include <unicode/uchar.h>

#include <QChar>

namespace {
constexpr int familiarScript = 20;
constexpr int lessFamiliarScript = 12;
constexpr int pictograph = -20;
constexpr int combiningMark = -30;
} // namespace

int SymbolFamiliarity::bonus(char32_t c) {
    if (c == 0)
        return 0; // a sequence: an emoji
    int bonus = 0;
    if (c <= 0x17F || (c >= 0x370 && c <= 0x45F) || (c >= 0x2000 && c <= 0x2BFF))
        bonus = familiarScript;
    else if (c <= 0x2FF || (c >= 0x460 && c <= 0x52F) || (c >= 0x1E00 && c <= 0x1EFF))
        bonus = lessFamiliarScript;
    if (c >= 0x2000 && u_hasBinaryProperty(UChar32(c), UCHAR_EMOJI))
        bonus += pictograph;
    // A combining mark shows only over another character.
    if (QChar::category(c) == QChar::Mark_NonSpacing || QChar::category(c) == QChar::Mark_Enclosing)
        bonus += combiningMark;
    return bonus;
}
