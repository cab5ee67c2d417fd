#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>

// Flow of items broken into rows by count alone (never by width): every row
// is centred horizontally in the bounds, its items top-aligned at their own size.
class WrapLayout {
public:
    WrapLayout(qreal spacing, int maxItemsPerRow)
        : m_spacing(spacing)
        , m_maxItemsPerRow(qMax(1, maxItemsPerRow)) {}

    qreal spacing() const { return m_spacing; }
    int maxItemsPerRow() const { return m_maxItemsPerRow; }

    // The size the flow asks for; no items give (0, 0).
    QSizeF measure(const QList<QSizeF>& items) const;
    // One rectangle per item, in order.
    QList<QRectF> place(const QRectF& bounds, const QList<QSizeF>& items) const;

private:
    qreal m_spacing;
    int m_maxItemsPerRow;
};
