#include "WrapLayout.h"

#include <algorithm>

QSizeF WrapLayout::measure(const QList<QSizeF>& items) const {
    int count = 0;
    qreal rowWidth = 0, rowHeight = 0;
    qreal widest = 0, finishedHeight = 0;
    for (const QSizeF& item : items) {
        if (count < m_maxItemsPerRow) {
            rowWidth += (count > 0 ? m_spacing : 0) + item.width();
            rowHeight = std::max(rowHeight, item.height());
            ++count;
        } else {
            widest = std::max(widest, rowWidth);
            finishedHeight += rowHeight + m_spacing;
            rowWidth = item.width();
            rowHeight = item.height();
            count = 1;
        }
    }
    return {std::max(widest, rowWidth), finishedHeight + rowHeight};
}

QList<QRectF> WrapLayout::place(const QRectF& bounds, const QList<QSizeF>& items) const {
    QList<QRectF> frames;
    frames.reserve(items.size());
    qreal y = bounds.top();
    for (qsizetype rowStart = 0; rowStart < items.size(); rowStart += m_maxItemsPerRow) {
        const qsizetype rowEnd = std::min<qsizetype>(rowStart + m_maxItemsPerRow, items.size());
        qreal rowWidth = m_spacing * qreal(rowEnd - rowStart - 1);
        qreal rowHeight = 0;
        for (qsizetype i = rowStart; i < rowEnd; ++i) {
            rowWidth += items[i].width();
            rowHeight = std::max(rowHeight, items[i].height());
        }
        qreal x = bounds.left() + (bounds.width() - rowWidth) / 2;
        for (qsizetype i = rowStart; i < rowEnd; ++i) {
            frames.append(QRectF(QPointF(x, y), items[i]));
            x += items[i].width() + m_spacing;
        }
        y += rowHeight + m_spacing;
    }
    return frames;
}
