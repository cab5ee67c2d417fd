#include "settings/controls/ToggleSwitch.h"

#include "settings/controls/SemanticColors.h"

#include <QFocusEvent>
#include <QPainter>

ToggleSwitch::ToggleSwitch(QWidget* parent)
    : QAbstractButton(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

bool ToggleSwitch::hitButton(const QPoint& position) const {
    return rect().contains(position);
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colors = palette();
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;

    QColor trackColor = isChecked() ? SemanticColors::green(colors)
                                    : SemanticColors::withAlpha(SemanticColors::label(colors), 0.18);
    if (!isEnabled())
        trackColor = SemanticColors::withAlpha(trackColor, 0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackColor);
    painter.drawRoundedRect(track, radius, radius);

    const qreal knobDiameter = track.height() - 4;
    const qreal knobX = isChecked() ? track.right() - 2 - knobDiameter : track.left() + 2;
    const QRectF knob(knobX, track.top() + 2, knobDiameter, knobDiameter);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(knob.translated(0, 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);

    if (hasFocus() && m_keyboardFocus) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(SemanticColors::withAlpha(SemanticColors::accent(colors), 0.7), 1.5));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), radius + 0.25,
                                radius + 0.25);
    }
}

void ToggleSwitch::focusInEvent(QFocusEvent* event) {
    // The ring is for keyboard users; a window opening or a click needs none.
    const Qt::FocusReason reason = event->reason();
    m_keyboardFocus =
        reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
    QAbstractButton::focusInEvent(event);
}
