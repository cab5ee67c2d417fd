#include "KeyboardIconEngine.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {
// The drawing is laid out on a 64 x 64 grid.
constexpr qreal grid = 64;
const QColor ink(0x2e, 0x34, 0x40);
const QColor paper(0xf4, 0xf4, 0xf4);

struct Key {
    qreal x, y, width, height;
};
constexpr Key keys[] = {
    {10, 21, 7, 6}, {20, 21, 7, 6}, {30, 21, 7, 6}, {40, 21, 7, 6}, {50, 21, 5, 6},  {10, 30, 7, 6},
    {20, 30, 7, 6}, {30, 30, 7, 6}, {40, 30, 7, 6}, {50, 30, 5, 6}, {17, 39, 30, 5},
};
} // namespace

QIcon KeyboardIconEngine::trayIcon() {
    return QIcon::fromTheme(QStringLiteral("input-keyboard"), QIcon(new KeyboardIconEngine));
}

void KeyboardIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) {
    const qreal side = qMin(rect.width(), rect.height());
    if (side <= 0)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->translate(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2);
    painter->scale(side / grid, side / grid);
    if (mode == QIcon::Disabled)
        painter->setOpacity(0.5);
    painter->setPen(QPen(ink, 3));
    painter->setBrush(paper);
    painter->drawRoundedRect(QRectF(3, 14, 58, 36), 6, 6);
    painter->setPen(Qt::NoPen);
    painter->setBrush(ink);
    for (const Key& key : keys)
        painter->drawRoundedRect(QRectF(key.x, key.y, key.width, key.height), 1.5, 1.5);
    painter->restore();
}

QPixmap KeyboardIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        paint(&painter, image.rect(), mode, state);
    }
    return QPixmap::fromImage(std::move(image));
}

QIconEngine* KeyboardIconEngine::clone() const {
    return new KeyboardIconEngine;
}

QString KeyboardIconEngine::key() const {
    return QStringLiteral("runeboard-keyboard");
}

QList<QSize> KeyboardIconEngine::availableSizes(QIcon::Mode, QIcon::State) {
    QList<QSize> sizes;
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256})
        sizes.append(QSize(side, side));
    return sizes;
}
