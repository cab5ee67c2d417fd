#include "settings/controls/SubtleResetButton.h"

#include "settings/controls/SemanticColors.h"
#include "settings/controls/TextStyles.h"

#include <QKeyEvent>
#include <QPainter>

SubtleResetButton::SubtleResetButton(QWidget* parent)
    : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFont(captionFont());
}

QFont SubtleResetButton::captionFont() const {
    return TextStyles::caption(font());
}

void SubtleResetButton::setLabel(const QString& label) {
    m_label = label;
    setAccessibleName(label);
    updateGeometry();
    update();
}

QSize SubtleResetButton::sizeHint() const {
    return {fontMetrics().horizontalAdvance(m_label) + 8, fontMetrics().height() + 4};
}

QRect SubtleResetButton::textRect() const {
    const QFontMetrics metrics = fontMetrics();
    const int textWidth = qMin(width(), metrics.horizontalAdvance(m_label));
    return {(width() - textWidth) / 2, (height() - metrics.height()) / 2, textWidth, metrics.height()};
}

void SubtleResetButton::setHovered(bool hovered) {
    if (m_isHovered == hovered)
        return;
    m_isHovered = hovered;
    if (hovered)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    update();
}

void SubtleResetButton::mouseMoveEvent(QMouseEvent* event) {
    setHovered(textRect().contains(event->position().toPoint()));
}

void SubtleResetButton::leaveEvent(QEvent*) {
    setHovered(false);
}

void SubtleResetButton::mousePressEvent(QMouseEvent* event) {
    m_pressedOnText = event->button() == Qt::LeftButton && textRect().contains(event->position().toPoint());
    if (!m_pressedOnText)
        event->ignore();
}

void SubtleResetButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool wasPressed = m_pressedOnText;
    m_pressedOnText = false;
    if (wasPressed && event->button() == Qt::LeftButton && textRect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void SubtleResetButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        Q_EMIT clicked();
    else
        QWidget::keyPressEvent(event);
}

void SubtleResetButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colors = palette();
    const bool emphasised = m_isHovered || hasFocus();
    painter.setPen(emphasised ? SemanticColors::label(colors) : SemanticColors::tertiaryLabel(colors));
    painter.drawText(textRect(), Qt::AlignCenter, m_label);
    if (hasFocus()) {
        const QRect text = textRect();
        painter.drawLine(text.bottomLeft() + QPoint(0, 1), text.bottomRight() + QPoint(0, 1));
    }
}
