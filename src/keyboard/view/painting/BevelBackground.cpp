#include "BevelBackground.h"

#include "keyboard/view/painting/ContinuousCorners.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

QColor rgb(qreal r, qreal g, qreal b) {
    return QColor::fromRgbF(float(r), float(g), float(b));
}
QColor white(qreal alpha) {
    return QColor::fromRgbF(1, 1, 1, float(alpha));
}

struct FaceColours {
    QColor top, bottom;
};

const FaceColours& coloursOf(BevelBackground::Face face) {
    static const FaceColours table[] = {
        {white(0.1), white(0)},                         // glass
        {rgb(0.6, 0.2, 0.2), rgb(0.8, 0.4, 0.4)},       // red
        {rgb(0.25, 0.45, 0.65), rgb(0.35, 0.55, 0.75)}, // blue
        {rgb(0.25, 0.25, 0.25), rgb(0.35, 0.35, 0.35)}, // custom
        {rgb(0.15, 0.15, 0.15), rgb(0.22, 0.22, 0.22)}, // default
    };
    return table[int(face)];
}

} // namespace

BevelBackground::Face BevelBackground::face() const {
    if (isGlass)
        return Face::Glass;
    if (isRed)
        return Face::Red;
    if (isBlue)
        return Face::Blue;
    if (isCustom)
        return Face::Custom;
    return Face::Default;
}

QColor BevelBackground::topColor(Face face) {
    return coloursOf(face).top;
}
QColor BevelBackground::bottomColor(Face face) {
    return coloursOf(face).bottom;
}
QColor BevelBackground::bevelTopColor() {
    return white(0.15);
}
QColor BevelBackground::bevelBottomColor() {
    static const QColor black = QColor::fromRgbF(0, 0, 0, 0.3f);
    return black;
}

void BevelBackground::paintFace(QPainter& painter, const QRectF& rect) const {
    const FaceColours& colours = coloursOf(face());
    const QPainterPath outline = continuousRoundedRect(rect, cornerRadius);

    QLinearGradient fill(rect.center().x(), rect.top(), rect.center().x(), rect.bottom());
    fill.setColorAt(0, colours.top);
    fill.setColorAt(1, colours.bottom);
    painter.fillPath(outline, fill);

    // The stroke is the band between the outline and the outline moved in by its
    // width, so it covers exactly the outer edge of the face and nothing outside it.
    const qreal w = bevelStrokeWidth;
    if (w <= 0 || rect.width() <= 2 * w || rect.height() <= 2 * w)
        return;
    QPainterPath band = outline;
    band.addPath(continuousRoundedRect(rect.adjusted(w, w, -w, -w), cornerRadius - w));
    band.setFillRule(Qt::OddEvenFill);
    QLinearGradient bevel(rect.center().x(), rect.top(), rect.center().x(), rect.bottom());
    bevel.setColorAt(0, bevelTopColor());
    bevel.setColorAt(1, bevelBottomColor());
    painter.fillPath(band, bevel);
}
