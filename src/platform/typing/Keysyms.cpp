#include "platform/typing/Keysyms.h"

namespace Keysyms {

quint32 forScalar(char32_t scalar) {
    switch (scalar) {
    case U'\n':
        return Return;
    case U'\t':
        return Tab;
    default:
        break;
    }
    // Other control characters would act as keys (Escape, Delete, …) rather than type anything.
    if (scalar < 0x20 || (scalar >= 0x7f && scalar < 0xa0))
        return NoSymbol;
    if (scalar < 0x100)
        return scalar;
    if ((scalar >= 0xd800 && scalar <= 0xdfff) || scalar > 0x10ffff)
        return NoSymbol;
    return 0x01000000u | scalar;
}

QString textOf(const QList<quint32>& keysyms) {
    QString text;
    for (const quint32 keysym : keysyms) {
        char32_t scalar = keysym & 0x00ffffff;
        switch (keysym) {
        case Return:
            scalar = U'\n';
            break;
        case Tab:
            scalar = U'\t';
            break;
        default:
            break;
        }
        text += QString::fromUcs4(&scalar, 1);
    }
    return text;
}

} // namespace Keysyms
