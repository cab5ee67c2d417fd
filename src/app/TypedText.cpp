#include "app/TypedText.h"

namespace TypedText {

namespace {
QString codePoint(char32_t scalar) {
    return QStringLiteral("U+") + QString::number(scalar, 16).toUpper().rightJustified(4, u'0');
}
} // namespace

QString problem(const QString& text) {
    qsizetype position = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        ++position;
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            return QStringLiteral("character %1 is half of a UTF-16 surrogate pair (%2), which is not text")
                .arg(position)
                .arg(codePoint(c.unicode()));
        if (c == u'\t' || c == u'\n')
            continue;
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0))
            return QStringLiteral("character %1 is the control character %2; only tab and newline can be "
                                  "typed")
                .arg(position)
                .arg(codePoint(c.unicode()));
    }
    return {};
}

QString codePoints(const QString& text) {
    constexpr qsizetype shown = 8;
    const QList<uint> scalars = text.toUcs4();
    QStringList parts;
    for (qsizetype i = 0; i < std::min(scalars.size(), shown); ++i)
        parts.append(codePoint(scalars.at(i)));
    if (scalars.size() > shown)
        parts.append(QStringLiteral("…"));
    return parts.join(u' ');
}

} // namespace TypedText
