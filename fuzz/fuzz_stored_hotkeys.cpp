// The stored hotkeys decoder: all four combinations or none, never a plain
// key, and what decodes reads back the same after being written.
#include "hotkeys/HotkeySettings.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray stored(reinterpret_cast<const char*>(data), qsizetype(size));
    QString why;
    const auto decoded = HotkeySettings::decode(stored, &why);
    if (!decoded) {
        if (why.isEmpty())
            std::abort();
        return 0;
    }
    for (const KeyTable::StoredHotkey& stored : *decoded) {
        const Hotkey hotkey = KeyTable::fromStored(stored);
        if (!hotkey.isUsable())
            std::abort();
        // What a Linux keyboard has is written back as the same combination.
        const auto written = KeyTable::toStored(hotkey);
        if ((hotkey.key == Hotkey::unknownKey) == written.has_value() ||
            (written && KeyTable::fromStored(*written) != hotkey))
            std::abort();
    }
    if (HotkeySettings::decode(HotkeySettings::encode(*decoded), nullptr) != decoded)
        std::abort();
    return 0;
}
