#pragma once

#include "keyboard/view/painting/FacePixmapCache.h"
#include "keyboard/view/painting/KeyboardScene.h"

#include <QFont>
#include <QHash>
#include <QPixmap>

class QPainter;

// Draws a keyboard scene. Faces, shadows and the card come from pixmaps made
// once per size and device pixel ratio, so a paint is mostly copies and text.
class KeyboardPainter {
public:
    void paint(QPainter& painter, const KeyboardScene& scene);

    // The font of key labels and field text at a pixel size, for a device of this logical DPI.
    static QFont font(qreal pixelSize, int weight, qreal logicalDpi);

    static QColor accentColour();

private:
    const QFont& cachedFont(qreal pixelSize, int weight, qreal logicalDpi);
    void paintCard(QPainter& painter, const KeyboardScene& scene, qreal dpr);
    void paintPiece(QPainter& painter, const ScenePiece& piece, qreal logicalDpi, qreal dpr);
    void paintCloseButton(QPainter& painter, const KeyboardScene& scene);
    void paintDots(QPainter& painter, const KeyboardScene& scene);

    FacePixmapCache m_faces;
    QHash<QString, QFont> m_fonts;
    QPixmap m_card;
    QString m_cardKey;
};
