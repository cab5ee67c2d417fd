#include "settings/controls/SegmentedControl.h"

#include "settings/controls/SemanticColors.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int segmentPadding = 12;
constexpr int controlHeight = 24;
constexpr qreal cornerRadius = 6;
} // namespace

SegmentedControl::SegmentedControl(QWidget* parent)
    : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void SegmentedControl::setSegments(const QStringList& labels) {
    m_labels = labels;
    if (m_current >= labels.size())
        m_current = -1;
    updateGeometry();
    update();
}

void SegmentedControl::setCurrentIndex(int index) {
    if (index < -1 || index >= m_labels.size() || index == m_current)
        return;
    m_current = index;
    update();
}

QSize SegmentedControl::sizeHint() const {
    const QFontMetrics metrics(font());
    int widest = 0;
    for (const QString& label : m_labels)
        widest = qMax(widest, metrics.horizontalAdvance(label));
    return {qMax(1, int(m_labels.size())) * (widest + 2 * segmentPadding),
            qMax(controlHeight, metrics.height() + 8)};
}

QSize SegmentedControl::minimumSizeHint() const {
    return {int(m_labels.size()) * 2 * segmentPadding, sizeHint().height()};
}

QRect SegmentedControl::segmentRect(int index) const {
    if (index < 0 || index >= m_labels.size())
        return {};
    const int count = int(m_labels.size());
    const int left = width() * index / count;
    const int right = width() * (index + 1) / count;
    return {left, 0, right - left, height()};
}

int SegmentedControl::segmentAt(const QPoint& position) const {
    for (int i = 0; i < m_labels.size(); ++i) {
        if (segmentRect(i).contains(position))
            return i;
    }
    return -1;
}

void SegmentedControl::choose(int index) {
    if (index < 0 || index >= m_labels.size())
        return;
    setCurrentIndex(index);
    Q_EMIT activated(index);
}

void SegmentedControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressed = segmentAt(event->position().toPoint());
    update();
}

void SegmentedControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const int released = segmentAt(event->position().toPoint());
    const int pressed = m_pressed;
    m_pressed = -1;
    update();
    if (released == pressed)
        choose(released);
}

void SegmentedControl::mouseMoveEvent(QMouseEvent* event) {
    const int hovered = segmentAt(event->position().toPoint());
    if (hovered != m_hovered) {
        m_hovered = hovered;
        update();
    }
}

void SegmentedControl::leaveEvent(QEvent*) {
    m_hovered = -1;
    update();
}

void SegmentedControl::keyPressEvent(QKeyEvent* event) {
    const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
    switch (event->key()) {
    case Qt::Key_Left:
        choose(qMax(0, m_current + (rightToLeft ? 1 : -1)));
        break;
    case Qt::Key_Right:
        choose(qMin(int(m_labels.size()) - 1, m_current + (rightToLeft ? -1 : 1)));
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void SegmentedControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colors = palette();
    const int count = int(m_labels.size());
    const int controlTop = (height() - sizeHint().height()) / 2;
    const QRectF frame = QRectF(0, controlTop, width(), sizeHint().height()).adjusted(0.5, 0.5, -0.5, -0.5);

    QPainterPath outline;
    outline.addRoundedRect(frame, cornerRadius, cornerRadius);
    painter.fillPath(outline, colors.color(QPalette::Button));

    for (int i = 0; i < count; ++i) {
        const QRectF cell = QRectF(segmentRect(i)).intersected(frame);
        QPainterPath cellPath;
        cellPath.addRect(cell);
        cellPath = cellPath.intersected(outline);
        if (i == m_current)
            painter.fillPath(cellPath, SemanticColors::accent(colors));
        else if (i == m_pressed)
            painter.fillPath(cellPath, SemanticColors::withAlpha(SemanticColors::label(colors), 0.12));
        else if (i == m_hovered)
            painter.fillPath(cellPath, SemanticColors::withAlpha(SemanticColors::label(colors), 0.06));
    }

    painter.setPen(QPen(SemanticColors::separator(colors), 1));
    for (int i = 1; i < count; ++i) {
        if (i == m_current || i - 1 == m_current)
            continue; // the filled segment needs no divider beside it
        const qreal x = segmentRect(i).left() + 0.5;
        painter.drawLine(QPointF(x, frame.top() + 4), QPointF(x, frame.bottom() - 4));
    }
    painter.setPen(QPen(SemanticColors::separator(colors), 1));
    painter.drawPath(outline);

    for (int i = 0; i < count; ++i) {
        const QRect cell = segmentRect(i).adjusted(4, 0, -4, 0);
        painter.setPen(i == m_current ? colors.color(QPalette::HighlightedText)
                                      : colors.color(QPalette::ButtonText));
        const QString text = fontMetrics().elidedText(m_labels.at(i), Qt::ElideRight, cell.width());
        painter.drawText(cell, Qt::AlignCenter, text);
    }

    if (hasFocus() && m_keyboardFocus && m_current >= 0) {
        painter.setPen(QPen(SemanticColors::withAlpha(SemanticColors::accent(colors), 0.6), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(frame.adjusted(1, 1, -1, -1), cornerRadius - 1, cornerRadius - 1);
    }
}

void SegmentedControl::focusInEvent(QFocusEvent* event) {
    // The ring is for keyboard users; a window opening or a click needs none.
    const Qt::FocusReason reason = event->reason();
    m_keyboardFocus =
        reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
    QWidget::focusInEvent(event);
}
