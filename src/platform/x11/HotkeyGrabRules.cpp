#include "platform/x11/HotkeyGrabRules.h"

#include "platform/typing/Keysyms.h"

#include <QRegularExpression>

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

QString altShiftLayoutSwitch(const QByteArray& rulesNames) {
    const QList<QByteArray> fields = rulesNames.split('\0');
    if (fields.size() < 5)
        return {};
    static const QRegularExpression altShift(
        QStringLiteral("^grp:(?:[lr]?alt_[lr]?shift|[lr]?shift_[lr]?alt)_toggle(?:_bidir)?$"));
    for (const QByteArray& option : fields.at(4).split(',')) {
        const QString name = QString::fromLatin1(option.trimmed());
        if (altShift.match(name).hasMatch())
            return name;
    }
    return {};
}

} // namespace HotkeyGrabRules
