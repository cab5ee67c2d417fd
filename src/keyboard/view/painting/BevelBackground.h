#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// The face of every key, text field and button of the keyboard: a rounded
// rectangle with a vertical gradient and an inner bevel stroke, light at the
// top and dark at the bottom. Four flags choose its colour.
struct BevelBackground {
    enum class Face { Glass, Red, Blue, Custom, Default };

    qreal cornerRadius = 10;
    qreal bevelStrokeWidth = 2;
    bool isBlue = false;
    bool isRed = false;
    bool isGlass = false;
    bool isCustom = false;

    // The first flag set, in the order glass, red, blue, custom; otherwise the default face.
    Face face() const;

    static QColor topColor(Face face);
    static QColor bottomColor(Face face);
    static QColor bevelTopColor();
    static QColor bevelBottomColor();

    // Paints face and bevel filling `rect` (no shadow); the bevel stays inside the face.
    void paintFace(QPainter& painter, const QRectF& rect) const;
};

// A soft drop shadow: black at an opacity, a blur radius and an offset, all in pixels.
struct DropShadow {
    qreal opacity = 0;
    qreal radius = 0;
    QPointF offset;
    bool operator==(const DropShadow&) const = default;

    // The shadow every face casts.
    static DropShadow face() { return {0.2, 4, {0, 3}}; }
    // The extra shadow under the key that is being dragged.
    static DropShadow dragPreview() { return {0.3, 10, {0, 6}}; }
};
