#pragma once

#include "keyboard/view/painting/BevelBackground.h"
#include "keyboard/view/painting/KeyboardMetrics.h"

#include <QList>
#include <QRectF>
#include <QString>

#include <optional>

// One thing drawn on a face: a key, a button or the face of a text field.
struct ScenePiece {
    enum class Content { Label, Plus, Checkmark, Cross, Title, None, Shift, ShiftLock };

    QRectF rect; // view coordinates, before scaling
    BevelBackground face;
    Content content = Content::Label;
    QString text;
    qreal textSize = 14; // pixels
    int weight = 400;    // CSS-style weight: 400 regular, 500 medium, 600 semibold, 700 bold
    qreal opacity = 1;
    qreal scale = 1; // about the rectangle's centre
    QPointF offset;  // added to the rectangle (slide transitions)
    DropShadow extraShadow;
};

// Everything the keyboard shows at one moment, positions already animated.
struct KeyboardScene {
    KeyboardMetrics metrics{};
    QRectF card;
    bool translucent = true;
    QList<ScenePiece> pieces;
    std::optional<ScenePiece> preview; // the key being dragged, over everything but the overlays
    QRectF closeButton;
    qreal closeOpacity = 1;
    QList<QRectF> dots;
    QList<bool> activeDots;
};
