// The stored sets decoder: whatever the configuration holds must decode or be
// refused with a reason, and what decodes must survive being written back.
#include "palettes/SymbolPalette.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray stored(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const auto decoded = SymbolPalette::decodeList(stored, &error);
    if (!decoded) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    for (const SymbolPalette& palette : *decoded) {
        palette.baseSymbols();
        palette.customSymbols();
    }
    if (SymbolPalette::decodeList(SymbolPalette::encodeList(*decoded), nullptr) != decoded)
        std::abort();
    return 0;
}
