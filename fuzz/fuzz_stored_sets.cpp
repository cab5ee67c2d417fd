// The stored sets decoder: whatever the configuration holds must decode or be
// refused with a reason, and what decodes must survive being written back.
#include "sets/SymbolSet.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray stored(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const auto decoded = SymbolSet::decodeList(stored, &error);
    if (!decoded) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    for (const SymbolSet& set : *decoded) {
        set.baseSymbols();
        set.customSymbols();
    }
    if (SymbolSet::decodeList(SymbolSet::encodeList(*decoded), nullptr) != decoded)
        std::abort();
    return 0;
}
