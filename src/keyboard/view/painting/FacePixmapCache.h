#pragma once

#include "keyboard/view/painting/BevelBackground.h"

#include <QHash>
#include <QImage>
#include <QPixmap>

class QPainter;

// Faces with their shadows, rendered once per face, size and device pixel
// ratio and then only copied: blurring a shadow costs far more than a paint.
class FacePixmapCache {
public:
    // Draws the face (and its shadows) filling `rect`. `dpr` is the scale from
    // the view's pixels to device pixels (what the painter held before any
    // transform of its own; a redirected paint cannot be asked). While the
    // painter adds nothing but a translation the face is aligned to device pixels.
    void draw(QPainter& painter, const BevelBackground& face, const QRectF& rect, qreal dpr,
              const DropShadow& extraShadow = {});

    qsizetype size() const { return m_pixmaps.size(); }
    void clear() { m_pixmaps.clear(); }

    // The alpha of `source` blurred and offset, in black at the shadow's opacity;
    // `source` and the result share their size and device pixel ratio.
    static QImage shadowOf(const QImage& source, const DropShadow& shadow);

private:
    struct Entry {
        QPixmap pixmap;
        int padding; // device pixels on every side around the face
    };
    Entry render(const BevelBackground& face, QSize pixelSize, qreal dpr, const DropShadow& extra) const;

    QHash<QString, Entry> m_pixmaps;
};
