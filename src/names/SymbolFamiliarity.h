#pragma once

// Among names that match a query equally well, the letters and signs of the
// scripts and blocks people type come before those of rarer scripts and of
// mathematical alphabets, and a plain sign before the emoji of the same name
// (∞ before ♾). The score a symbol gets for that; 0 stands for a sequence.
namespace SymbolFamiliarity {
int bonus(char32_t c);
}
