#include "settings/controls/InsetDivider.h"

#include "settings/controls/SemanticColors.h"

#include <QPainter>

InsetDivider::InsetDivider(int inset, QWidget* parent)
    : QWidget(parent)
    , m_inset(inset) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void InsetDivider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // One device pixel high whatever the scale, so the rule never blurs.
    const qreal thickness = 1.0 / qMax<qreal>(1.0, devicePixelRatioF());
    painter.fillRect(QRectF(m_inset, 0, qMax(0, width() - 2 * m_inset), thickness),
                     SemanticColors::separator(palette()));
}
