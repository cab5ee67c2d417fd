#pragma once

#include <QColor>

// The materials behind parts of the keyboard: the card (UnderWindowBackground), the close
// button (Popover) and the inactive set dots (UltraThin). X11 has no live blurred materials,
// so each is a tinted fill: see-through where a compositor blends the window with the
// desktop, an opaque equivalent where none does (the window's alpha would otherwise be
// shown as black).
enum class Material { UnderWindowBackground, Popover, UltraThin };

QColor materialColour(Material material, bool translucent);
