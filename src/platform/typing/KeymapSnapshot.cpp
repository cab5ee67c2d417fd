#include "platform/typing/KeymapSnapshot.h"

#include <algorithm>

bool KeymapSnapshot::holdsLevels(quint8 keycode, quint32 first, quint32 second) const {
    const auto found = symbols.constFind(keycode);
    if (found == symbols.cend() || found->isEmpty() || found->first() != first)
        return false;
    return std::all_of(found->cbegin(), found->cend(),
                       [&](quint32 sym) { return sym == first || sym == second; });
}

bool KeymapSnapshot::drivesModifier(quint8 keycode) const {
    return std::any_of(modifiers.cbegin(), modifiers.cend(),
                       [keycode](const QList<quint8>& keys) { return keys.contains(keycode); });
}

quint16 KeymapSnapshot::modifierMaskOf(quint32 keysym) const {
    for (int index = 0; index < 8; ++index) {
        for (quint8 keycode : modifiers[index]) {
            if (symbols.value(keycode).contains(keysym))
                return quint16(1u << index);
        }
    }
    return 0;
}

QList<quint8> KeymapSnapshot::spareKeycodes() const {
    QList<quint8> spare;
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        if (isEmpty(quint8(keycode)) && !drivesModifier(quint8(keycode)))
            spare.append(quint8(keycode));
    }
    if (spare.size() < 3)
        return spare;
    const quint8 lowest = spare.first();
    const quint8 highest = spare.last();
    const auto contested = [&](quint8 keycode) {
        return keycode == lowest || keycode == highest || int(keycode) >= int(maxKeycode) - 10;
    };
    std::stable_partition(spare.begin(), spare.end(), [&](quint8 keycode) { return !contested(keycode); });
    return spare;
}
