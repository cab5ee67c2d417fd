#include "settings/controls/InsetListCard.h"

#include "settings/controls/SemanticColors.h"

#include <QPainter>
#include <QPainterPath>

void InsetListCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    painter.fillPath(card, SemanticColors::controlBackground(palette()));
    painter.setPen(QPen(SemanticColors::separator(palette()), 1));
    painter.drawPath(card);
}
