#include "platform/x11/HotkeyGrabRules.h"

#include "platform/typing/Keysyms.h"

#include <QByteArrayView>

namespace HotkeyGrabRules {

quint16 coreMask(HotkeyModifiers modifiers) {
    quint16 mask = 0;
    if (modifiers & HotkeyModifier::Super)
        mask |= Mod4Mask;
    if (modifiers & HotkeyModifier::Shift)
        mask |= ShiftMask;
    if (modifiers & HotkeyModifier::Alt)
        mask |= Mod1Mask;
    if (modifiers & HotkeyModifier::Control)
        mask |= ControlMask;
    return mask;
}

LockMasks lockMasks(const KeymapSnapshot& keymap) {
    LockMasks masks;
    masks.num = keymap.modifierMaskOf(Keysyms::NumLock);
    masks.scroll = keymap.modifierMaskOf(Keysyms::ScrollLock);
    // A lock key on one of the combination's own modifiers would make the grabs ambiguous.
    if (masks.num & (CombinationMask | LockMask))
        masks.num = 0;
    if (masks.scroll & (CombinationMask | LockMask | masks.num))
        masks.scroll = 0;
    return masks;
}

QList<quint16> lockCombinations(const LockMasks& masks) {
    QList<quint16> combinations{0};
    for (quint16 lock : {masks.caps, masks.num, masks.scroll}) {
        if (lock == 0)
            continue;
        const QList<quint16> without = combinations;
        for (quint16 combination : without) {
            if (!combinations.contains(combination | lock))
                combinations.append(combination | lock);
        }
    }
    return combinations;
}

namespace {
// "alt", "lalt" or "ralt" for key "alt".
bool isEitherSide(QByteArrayView word, QByteArrayView key) {
    if (word.size() == key.size() + 1 && (word.front() == 'l' || word.front() == 'r'))
        word = word.sliced(1);
    return word == key;
}

// grp:<alt>_<shift>_toggle or grp:<shift>_<alt>_toggle, either side of each, optionally _bidir.
bool isAltShiftToggle(QByteArrayView option) {
    if (!option.startsWith("grp:"))
        return false;
    option = option.sliced(4);
    if (option.endsWith("_bidir"))
        option.chop(6);
    if (!option.endsWith("_toggle"))
        return false;
    option.chop(7);
    const qsizetype underscore = option.indexOf('_');
    if (underscore < 0)
        return false;
    const QByteArrayView first = option.first(underscore);
    const QByteArrayView second = option.sliced(underscore + 1);
    return (isEitherSide(first, "alt") && isEitherSide(second, "shift")) ||
           (isEitherSide(first, "shift") && isEitherSide(second, "alt"));
}
} // namespace

QString altShiftLayoutSwitch(const QByteArray& rulesNames) {
    const QList<QByteArray> fields = rulesNames.split('\0');
    if (fields.size() < 5)
        return {};
    for (const QByteArray& option : fields.at(4).split(',')) {
        const QByteArray name = option.trimmed();
        if (isAltShiftToggle(name))
            return QString::fromLatin1(name);
    }
    return {};
}

} // namespace HotkeyGrabRules
