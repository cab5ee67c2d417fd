#include "KeyboardPainter.h"

#include "keyboard/view/painting/ContinuousCorners.h"
#include "keyboard/view/painting/MaterialColours.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

QColor white(qreal alpha) {
    return QColor::fromRgbF(1, 1, 1, float(alpha));
}

// Stroke width of the drawn icons relative to their size, by weight.
qreal strokeFor(qreal size, int weight) {
    return size * (weight >= 700 ? 0.13 : 0.11);
}

void strokeIcon(QPainter& p, const QPainterPath& path, qreal width, const QColor& colour) {
    QPen pen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.strokePath(path, pen);
}

QPainterPath plusPath(QPointF c, qreal size) {
    const qreal h = size * 0.4;
    QPainterPath path;
    path.moveTo(c.x() - h, c.y());
    path.lineTo(c.x() + h, c.y());
    path.moveTo(c.x(), c.y() - h);
    path.lineTo(c.x(), c.y() + h);
    return path;
}

QPainterPath crossPath(QPointF c, qreal size) {
    const qreal h = size * 0.3;
    QPainterPath path;
    path.moveTo(c.x() - h, c.y() - h);
    path.lineTo(c.x() + h, c.y() + h);
    path.moveTo(c.x() + h, c.y() - h);
    path.lineTo(c.x() - h, c.y() + h);
    return path;
}

QPainterPath checkPath(QPointF c, qreal size) {
    QPainterPath path;
    path.moveTo(c + QPointF(-0.36, 0.02) * size);
    path.lineTo(c + QPointF(-0.11, 0.3) * size);
    path.lineTo(c + QPointF(0.37, -0.33) * size);
    return path;
}

// An upward block arrow, as on a keyboard's Shift key.
QPainterPath shiftPath(QPointF c, qreal size) {
    const QPointF corners[] = {{0.4, 0.02},   {0.17, 0.02},  {0.17, 0.34},
                               {-0.17, 0.34}, {-0.17, 0.02}, {-0.4, 0.02}};
    QPainterPath path(c + QPointF(0, -0.42) * size);
    for (const QPointF& corner : corners)
        path.lineTo(c + corner * size);
    path.closeSubpath();
    return path;
}

} // namespace

QColor KeyboardPainter::accentColour() {
    return BevelBackground::bottomColor(BevelBackground::Face::Blue);
}

QFont KeyboardPainter::font(qreal pixelSize, int weight, qreal logicalDpi) {
    QFont f = QGuiApplication::font();
    // Sizes are pixels and may be fractional (10.5); the point size is what carries a fraction.
    f.setPointSizeF(pixelSize * 72.0 / (logicalDpi > 0 ? logicalDpi : 96.0));
    f.setWeight(QFont::Weight(weight));
    return f;
}

const QFont& KeyboardPainter::cachedFont(qreal pixelSize, int weight, qreal logicalDpi) {
    const QString key = QStringLiteral("%1|%2|%3").arg(pixelSize).arg(weight).arg(logicalDpi);
    auto it = m_fonts.constFind(key);
    if (it == m_fonts.constEnd())
        it = m_fonts.insert(key, font(pixelSize, weight, logicalDpi));
    return *it;
}

void KeyboardPainter::paint(QPainter& painter, const KeyboardScene& scene) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // The scale to device pixels as the painter comes (it may be redirected into an image of another ratio).
    const QTransform& device = painter.deviceTransform();
    const qreal dpr = std::sqrt(std::abs(device.determinant()));
    paintCard(painter, scene, dpr);
    const qreal dpi = painter.device()->logicalDpiY();
    for (const ScenePiece& piece : scene.pieces)
        paintPiece(painter, piece, dpi, dpr);
    if (scene.preview)
        paintPiece(painter, *scene.preview, dpi, dpr);
    paintCloseButton(painter, scene);
    paintDots(painter, scene);
}

void KeyboardPainter::paintCard(QPainter& painter, const KeyboardScene& scene, qreal dpr) {
    const QString key = QStringLiteral("%1x%2|%3|%4|%5")
                            .arg(scene.card.width())
                            .arg(scene.card.height())
                            .arg(scene.metrics.cardRadius)
                            .arg(dpr)
                            .arg(scene.translucent);
    if (key != m_cardKey) {
        const QSize pixels(int(std::ceil(scene.card.width() * dpr)),
                           int(std::ceil(scene.card.height() * dpr)));
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const QPainterPath shape =
            continuousRoundedRect(QRectF(QPointF(), scene.card.size()), scene.metrics.cardRadius);
        p.fillPath(shape, materialColour(Material::UnderWindowBackground, scene.translucent));
        p.fillPath(shape, white(0.08));
        p.end();
        m_card = QPixmap::fromImage(image);
        m_card.setDevicePixelRatio(dpr);
        m_cardKey = key;
    }
    painter.drawPixmap(scene.card.topLeft(), m_card);
}

void KeyboardPainter::paintPiece(QPainter& painter, const ScenePiece& piece, qreal logicalDpi, qreal dpr) {
    if (piece.opacity <= 0.001 || piece.scale <= 0.001)
        return;
    const QRectF rect = piece.rect.translated(piece.offset);
    const bool transformed = !qFuzzyCompare(piece.scale, 1.0);
    const bool faded = piece.opacity < 0.999;
    if (transformed || faded) {
        painter.save();
        painter.setOpacity(painter.opacity() * piece.opacity);
        if (transformed) {
            painter.translate(rect.center());
            painter.scale(piece.scale, piece.scale);
            painter.translate(-rect.center());
        }
    }
    m_faces.draw(painter, piece.face, rect, dpr, piece.extraShadow);

    const QPointF c = rect.center();
    switch (piece.content) {
    case ScenePiece::Content::Label:
    case ScenePiece::Content::Title:
        painter.setFont(cachedFont(piece.textSize, piece.weight, logicalDpi));
        painter.setPen(Qt::white);
        painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, piece.text);
        break;
    case ScenePiece::Content::Plus:
        strokeIcon(painter, plusPath(c, piece.textSize), strokeFor(piece.textSize, piece.weight), Qt::white);
        break;
    case ScenePiece::Content::Checkmark:
        strokeIcon(painter, checkPath(c, piece.textSize), strokeFor(piece.textSize, piece.weight), Qt::white);
        break;
    case ScenePiece::Content::Cross:
        strokeIcon(painter, crossPath(c, piece.textSize), strokeFor(piece.textSize, piece.weight), Qt::white);
        break;
    case ScenePiece::Content::Shift:
        strokeIcon(painter, shiftPath(c, piece.textSize), strokeFor(piece.textSize, piece.weight), Qt::white);
        break;
    case ScenePiece::Content::ShiftLock: {
        // Filled and raised over a bar, as a caps lock key shows it.
        const qreal size = piece.textSize;
        const QPainterPath arrow = shiftPath(c - QPointF(0, 0.1 * size), size);
        painter.fillPath(arrow, Qt::white);
        strokeIcon(painter, arrow, strokeFor(size, piece.weight), Qt::white);
        QPainterPath bar(c + QPointF(-0.17, 0.44) * size);
        bar.lineTo(c + QPointF(0.17, 0.44) * size);
        strokeIcon(painter, bar, strokeFor(size, piece.weight), Qt::white);
        break;
    }
    case ScenePiece::Content::None:
        break;
    }
    if (transformed || faded)
        painter.restore();
}

void KeyboardPainter::paintCloseButton(QPainter& painter, const KeyboardScene& scene) {
    if (scene.closeOpacity <= 0.001)
        return;
    painter.save();
    painter.setOpacity(scene.closeOpacity);
    QPainterPath circle;
    circle.addEllipse(scene.closeButton);
    painter.fillPath(circle, materialColour(Material::Popover, scene.translucent));
    // A zero-width pen is the thinnest line the device can draw, as the outline asks.
    painter.setPen(QPen(white(0.15), 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(scene.closeButton);
    strokeIcon(painter, crossPath(scene.closeButton.center(), 10), strokeFor(10, 700), white(0.7));
    painter.restore();
}

void KeyboardPainter::paintDots(QPainter& painter, const KeyboardScene& scene) {
    for (qsizetype i = 0; i < scene.dots.size(); ++i) {
        QPainterPath circle;
        circle.addEllipse(scene.dots[i]);
        if (i < scene.activeDots.size() && scene.activeDots[i]) {
            painter.fillPath(circle, accentColour());
        } else {
            painter.fillPath(circle, materialColour(Material::UltraThin, scene.translucent));
            painter.fillPath(circle, white(0.2));
        }
    }
}
