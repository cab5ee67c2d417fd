#include "settings/controls/IconButton.h"

#include "settings/controls/SemanticColors.h"

#include <QPainter>

IconButton::IconButton(QWidget* parent)
    : QAbstractButton(parent) {
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void IconButton::setSymbol(SymbolIcon::Kind kind, const QColor& color) {
    if (m_kind == kind && m_color == color)
        return;
    m_kind = kind;
    m_color = color;
    update();
}

QSize IconButton::sizeHint() const {
    // As tall as a line of body text, like a symbol set in the body font.
    const int side = qMax(16, fontMetrics().height() + 2);
    return {side, side};
}

void IconButton::paintEvent(QPaintEvent*) {
    if (m_color.alpha() == 0)
        return;
    QPainter painter(this);
    QColor color = m_color;
    if (isDown())
        color = color.darker(130);
    SymbolIcon::draw(painter, m_kind, QRectF(rect()).adjusted(1, 1, -1, -1), color);
    if (hasFocus()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(SemanticColors::withAlpha(SemanticColors::accent(palette()), 0.7), 1.5));
        painter.drawEllipse(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75));
    }
}
