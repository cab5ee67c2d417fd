#include "settings/controls/SymbolIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace SymbolIcon {

namespace {

QPainterPath plusPath(const QPointF& centre, qreal arm, qreal thickness) {
    QPainterPath lines;
    lines.moveTo(centre.x() - arm, centre.y());
    lines.lineTo(centre.x() + arm, centre.y());
    lines.moveTo(centre.x(), centre.y() - arm);
    lines.lineTo(centre.x(), centre.y() + arm);
    QPainterPathStroker stroker;
    stroker.setWidth(thickness);
    stroker.setCapStyle(Qt::RoundCap);
    return stroker.createStroke(lines).simplified();
}

QPainterPath checkPath(const QRectF& square, qreal thickness) {
    QPainterPath line;
    line.moveTo(square.left() + square.width() * 0.29, square.top() + square.height() * 0.52);
    line.lineTo(square.left() + square.width() * 0.44, square.top() + square.height() * 0.67);
    line.lineTo(square.left() + square.width() * 0.72, square.top() + square.height() * 0.35);
    QPainterPathStroker stroker;
    stroker.setWidth(thickness);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(line).simplified();
}

} // namespace

void draw(QPainter& painter, Kind kind, const QRectF& box, const QColor& color) {
    const qreal side = qMin(box.width(), box.height());
    const QRectF square(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    const QPointF centre = square.center();
    const qreal stroke = qMax<qreal>(1.0, side * 0.085);
    const QRectF disc = square.adjusted(side * 0.06, side * 0.06, -side * 0.06, -side * 0.06);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);

    switch (kind) {
    case Kind::PlusCircleFill:
    case Kind::CheckmarkCircleFill: {
        QPainterPath shape;
        shape.addEllipse(disc);
        const QPainterPath cut = kind == Kind::PlusCircleFill ? plusPath(centre, side * 0.24, stroke * 1.3)
                                                              : checkPath(square, stroke * 1.3);
        painter.drawPath(shape.subtracted(cut));
        break;
    }
    case Kind::PlusCircle:
    case Kind::Circle: {
        QPainterPath ring;
        ring.addEllipse(disc);
        ring.addEllipse(disc.adjusted(stroke, stroke, -stroke, -stroke));
        ring.setFillRule(Qt::OddEvenFill);
        painter.drawPath(ring);
        if (kind == Kind::PlusCircle)
            painter.drawPath(plusPath(centre, side * 0.22, stroke * 1.1));
        break;
    }
    case Kind::Trash: {
        QPen pen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const qreal left = square.left() + side * 0.22;
        const qreal right = square.right() - side * 0.22;
        const qreal lidY = square.top() + side * 0.24;
        // lid and handle
        painter.drawLine(QPointF(square.left() + side * 0.14, lidY),
                         QPointF(square.right() - side * 0.14, lidY));
        QPainterPath handle;
        handle.moveTo(centre.x() - side * 0.12, lidY);
        handle.lineTo(centre.x() - side * 0.12, square.top() + side * 0.12);
        handle.lineTo(centre.x() + side * 0.12, square.top() + side * 0.12);
        handle.lineTo(centre.x() + side * 0.12, lidY);
        painter.drawPath(handle);
        // tapering can
        QPainterPath can;
        can.moveTo(left, lidY);
        can.lineTo(left + side * 0.04, square.bottom() - side * 0.1);
        can.quadTo(left + side * 0.05, square.bottom() - side * 0.05, left + side * 0.1,
                   square.bottom() - side * 0.05);
        can.lineTo(right - side * 0.1, square.bottom() - side * 0.05);
        can.quadTo(right - side * 0.05, square.bottom() - side * 0.05, right - side * 0.04,
                   square.bottom() - side * 0.1);
        can.lineTo(right, lidY);
        painter.drawPath(can);
        // ribs
        const qreal ribTop = lidY + side * 0.14;
        const qreal ribBottom = square.bottom() - side * 0.17;
        for (const qreal x : {centre.x() - side * 0.1, centre.x(), centre.x() + side * 0.1})
            painter.drawLine(QPointF(x, ribTop), QPointF(x, ribBottom));
        break;
    }
    }
    painter.restore();
}

} // namespace SymbolIcon
