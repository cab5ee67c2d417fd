#pragma once

#include <cstddef>

// The short names and keywords of symbols and emoji in English and Russian,
// generated from the CLDR data when Runeboard is built: records of
// "symbol \t language \t spoken name \t keyword|keyword… \n". Empty when the
// build found no CLDR data.
struct CldrNameData {
    static const char table[];
    static const std::size_t size;
};
