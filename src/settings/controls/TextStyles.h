#pragma once

#include <QFont>

// The smaller text styles, derived from the widget's body font so they follow
// the desktop's font size, but never so small that they stop being legible.
namespace TextStyles {

inline QFont scaled(QFont font, qreal factor, qreal minimumPoints) {
    if (font.pointSizeF() > 0)
        font.setPointSizeF(qMax(minimumPoints, font.pointSizeF() * factor));
    else if (font.pixelSize() > 0)
        font.setPixelSize(qMax(qRound(minimumPoints * 4 / 3), qRound(font.pixelSize() * factor)));
    return font;
}

inline QFont subheadline(const QFont& body) {
    return scaled(body, 11.0 / 13.0, 8.0);
}

inline QFont caption(const QFont& body) {
    return scaled(body, 10.0 / 13.0, 7.0);
}

inline QFont headline(QFont body) {
    body.setBold(true);
    return body;
}

} // namespace TextStyles
