#pragma once

#include <QPainterPath>
#include <QRectF>

// A rounded rectangle whose corners ease into the straight edges (curvature
// grows gradually instead of jumping as with a circular arc). The corner
// reaches about 1.53 × radius along each edge; when the rectangle is too small
// for that, the radius shrinks so the shape stays convex and symmetrical.
QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius);

// The radius actually used for a rectangle of this size.
qreal continuousCornerRadius(const QSizeF& size, qreal radius);
