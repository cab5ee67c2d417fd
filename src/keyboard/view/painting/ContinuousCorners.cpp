#include "ContinuousCorners.h"

#include <algorithm>

namespace {

// How far along an edge the eased corner starts, in radii; the control points
// below describe one corner from its start on the top edge to its end on the
// right edge, relative to the corner point, in radii.
constexpr qreal cornerExtent = 1.52866483;

struct CornerCurve {
    QPointF c1, c2, end;
};

// First segment on the edge, the circular middle, the segment onto the next edge.
constexpr CornerCurve curves[] = {
    {{-1.08849323, 0}, {-0.86840689, 0}, {-0.66993427, 0.04502050}},
    {{-0.35925305, 0.15371131}, {-0.15371131, 0.35925305}, {-0.04502050, 0.66993427}},
    {{0, 0.86840689}, {0, 1.08849323}, {0, cornerExtent}},
};
constexpr QPointF middleStart{-0.63149399, 0.05459763};
constexpr QPointF middleEnd{-0.05459763, 0.63149399};

// Maps a point given relative to the top-right corner (x to the left negative,
// y downwards positive) onto the corner `index` (0 top-right, 1 bottom-right,
// 2 bottom-left, 3 top-left), walking clockwise.
QPointF mapCorner(const QRectF& r, int index, QPointF p, qreal radius) {
    p *= radius;
    switch (index) {
    case 0:
        return {r.right() + p.x(), r.top() + p.y()};
    case 1:
        return {r.right() - p.y(), r.bottom() + p.x()};
    case 2:
        return {r.left() - p.x(), r.bottom() - p.y()};
    default:
        return {r.left() + p.y(), r.top() - p.x()};
    }
}

} // namespace

qreal continuousCornerRadius(const QSizeF& size, qreal radius) {
    const qreal limit = std::min(size.width(), size.height()) / 2 / cornerExtent;
    return std::clamp(radius, qreal(0), std::max(qreal(0), limit));
}

QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius) {
    QPainterPath path;
    const QRectF r = rect.normalized();
    const qreal cr = continuousCornerRadius(r.size(), radius);
    if (cr <= 0) {
        path.addRect(r);
        return path;
    }
    path.moveTo(r.left() + cornerExtent * cr, r.top());
    for (int corner = 0; corner < 4; ++corner) {
        path.lineTo(mapCorner(r, corner, {-cornerExtent, 0}, cr));
        path.cubicTo(mapCorner(r, corner, curves[0].c1, cr), mapCorner(r, corner, curves[0].c2, cr),
                     mapCorner(r, corner, curves[0].end, cr));
        path.lineTo(mapCorner(r, corner, middleStart, cr));
        path.cubicTo(mapCorner(r, corner, curves[1].c1, cr), mapCorner(r, corner, curves[1].c2, cr),
                     mapCorner(r, corner, middleEnd, cr));
        path.lineTo(mapCorner(r, corner, {-0.04502050, 0.66993427}, cr));
        path.cubicTo(mapCorner(r, corner, curves[2].c1, cr), mapCorner(r, corner, curves[2].c2, cr),
                     mapCorner(r, corner, curves[2].end, cr));
    }
    path.closeSubpath();
    return path;
}
