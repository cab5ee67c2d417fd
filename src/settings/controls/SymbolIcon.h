#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// The few symbols the Sets tab shows, drawn as vector shapes so they stay
// sharp at every scale factor.
namespace SymbolIcon {

enum class Kind {
    PlusCircleFill,      // a plus cut out of a filled disc
    PlusCircle,          // a plus inside a ring
    CheckmarkCircleFill, // a checkmark cut out of a filled disc
    Circle,              // an empty ring
    Trash,               // a waste bin
};

// Draws the symbol centred in `box` (the largest square that fits).
void draw(QPainter& painter, Kind kind, const QRectF& box, const QColor& color);

} // namespace SymbolIcon
