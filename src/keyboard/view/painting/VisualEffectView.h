#pragma once

#include <QColor>

class QPainter;
class QPainterPath;

// A translucent material behind part of the keyboard. X11 has no live
// blurred materials, so each material is a tinted fill: see-through where a
// compositor blends the window with the desktop, an opaque equivalent where
// none does (the window's alpha would otherwise be shown as black).
struct VisualEffectView {
    enum class Material { UnderWindowBackground, Popover, UltraThin };
    enum class BlendingMode { BehindWindow, WithinWindow };

    Material material = Material::UnderWindowBackground;
    BlendingMode blendingMode = BlendingMode::BehindWindow;

    QColor fillColour(bool translucent) const;
    void paint(QPainter& painter, const QPainterPath& shape, bool translucent) const;
};
