#include "FacePixmapCache.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The blur radius of a shadow is taken as two standard deviations of its Gaussian.
qreal sigmaOf(const DropShadow& s) {
    return s.radius / 2;
}

int reachOf(const DropShadow& s, qreal dpr) {
    if (s.opacity <= 0)
        return 0;
    return int(std::ceil((3 * sigmaOf(s) + std::max(std::abs(s.offset.x()), std::abs(s.offset.y()))) * dpr)) +
           1;
}

std::vector<float> kernelOf(qreal sigma) {
    const int r = std::max(1, int(std::ceil(3 * sigma)));
    std::vector<float> k(size_t(2 * r + 1));
    float sum = 0;
    for (int i = -r; i <= r; ++i)
        sum += k[size_t(i + r)] = float(std::exp(-(i * i) / (2 * sigma * sigma)));
    for (float& v : k)
        v /= sum;
    return k;
}

// Blurs a plane of coverage values along one axis.
void blurPass(const std::vector<float>& in, std::vector<float>& out, int w, int h,
              const std::vector<float>& k, bool horizontal) {
    const int r = int(k.size() / 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float acc = 0;
            for (int i = -r; i <= r; ++i) {
                const int sx = horizontal ? x + i : x;
                const int sy = horizontal ? y : y + i;
                if (sx < 0 || sy < 0 || sx >= w || sy >= h)
                    continue;
                acc += in[size_t(sy * w + sx)] * k[size_t(i + r)];
            }
            out[size_t(y * w + x)] = acc;
        }
}

} // namespace

QImage FacePixmapCache::shadowOf(const QImage& source, const DropShadow& shadow) {
    const QImage src = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = src.width(), h = src.height();
    const qreal dpr = src.devicePixelRatio();
    const int dx = int(std::lround(shadow.offset.x() * dpr)), dy = int(std::lround(shadow.offset.y() * dpr));
    std::vector<float> plane(size_t(w * h), 0.f), tmp(size_t(w * h));
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const int tx = x + dx, ty = y + dy;
            if (tx >= 0 && ty >= 0 && tx < w && ty < h)
                plane[size_t(ty * w + tx)] = float(qAlpha(line[x])) / 255.f;
        }
    }
    const qreal sigma = sigmaOf(shadow) * dpr;
    if (sigma > 0) {
        const std::vector<float> k = kernelOf(sigma);
        blurPass(plane, tmp, w, h, k, true);
        blurPass(tmp, plane, w, h, k, false);
    }
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(dpr);
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int a =
                std::clamp(int(std::lround(plane[size_t(y * w + x)] * shadow.opacity * 255)), 0, 255);
            line[x] = qRgba(0, 0, 0, a);
        }
    }
    return out;
}

FacePixmapCache::Entry FacePixmapCache::render(const BevelBackground& face, QSize pixelSize, qreal dpr,
                                               const DropShadow& extra) const {
    const DropShadow own = DropShadow::face();
    const int pad = std::max(reachOf(own, dpr), reachOf(extra, dpr));
    QImage faceImage(pixelSize + QSize(2 * pad, 2 * pad), QImage::Format_ARGB32_Premultiplied);
    faceImage.setDevicePixelRatio(dpr);
    faceImage.fill(Qt::transparent);
    {
        QPainter p(&faceImage);
        p.setRenderHint(QPainter::Antialiasing);
        face.paintFace(p, QRectF(pad / dpr, pad / dpr, pixelSize.width() / dpr, pixelSize.height() / dpr));
    }
    QImage result(faceImage.size(), QImage::Format_ARGB32_Premultiplied);
    result.setDevicePixelRatio(dpr);
    result.fill(Qt::transparent);
    {
        // Shadows are cast by face and bevel together and lie beneath them.
        QPainter p(&result);
        if (extra.opacity > 0)
            p.drawImage(0, 0, shadowOf(faceImage, extra));
        p.drawImage(0, 0, shadowOf(faceImage, own));
        p.drawImage(0, 0, faceImage);
    }
    Entry entry{QPixmap::fromImage(result), pad};
    entry.pixmap.setDevicePixelRatio(dpr);
    return entry;
}

void FacePixmapCache::draw(QPainter& painter, const BevelBackground& face, const QRectF& rect, qreal dpr,
                           const DropShadow& extraShadow) {
    if (rect.isEmpty() || dpr <= 0)
        return;
    const QSize pixels(std::max(1, int(std::lround(rect.width() * dpr))),
                       std::max(1, int(std::lround(rect.height() * dpr))));
    const QString key = QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8|%9")
                            .arg(int(face.face()))
                            .arg(face.cornerRadius)
                            .arg(face.bevelStrokeWidth)
                            .arg(pixels.width())
                            .arg(pixels.height())
                            .arg(dpr)
                            .arg(extraShadow.opacity)
                            .arg(extraShadow.radius)
                            .arg(extraShadow.offset.y());
    auto it = m_pixmaps.find(key);
    if (it == m_pixmaps.end()) {
        // Bounded: sizes come from a handful of key widths, but animations pass through many.
        if (m_pixmaps.size() > 512)
            m_pixmaps.clear();
        it = m_pixmaps.insert(key, render(face, pixels, dpr, extraShadow));
    }
    const Entry& entry = *it;
    const qreal pad = entry.padding / dpr;
    const QTransform& device = painter.deviceTransform();
    if (device.type() <= QTransform::TxScale && qFuzzyCompare(device.m11(), dpr) &&
        qFuzzyCompare(device.m22(), dpr)) {
        // One pixmap pixel per device pixel, the face's corner on a device pixel:
        // straight edges stay sharp.
        const QPointF d = device.map(rect.topLeft());
        const QPointF snapped = device.inverted().map(QPointF(std::round(d.x()), std::round(d.y())));
        painter.drawPixmap(snapped - QPointF(pad, pad), entry.pixmap);
        return;
    }
    // Scaled (a key breathing or lifted): smooth, and no new pixmap per frame.
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal sx = rect.width() * dpr / pixels.width(), sy = rect.height() * dpr / pixels.height();
    painter.drawPixmap(rect.adjusted(-pad * sx, -pad * sy, pad * sx, pad * sy), entry.pixmap,
                       QRectF(entry.pixmap.rect()));
    painter.restore();
}
