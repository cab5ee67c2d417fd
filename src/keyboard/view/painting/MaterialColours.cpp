#include "MaterialColours.h"

QColor materialColour(Material material, bool translucent) {
    // Dark tints in the manner of a dark window material; the popover and
    // ultra-thin materials are lighter and thinner.
    static const QColor see[] = {QColor(24, 24, 27, 200), QColor(64, 64, 70, 215), QColor(150, 150, 158, 90)};
    static const QColor opaque[] = {QColor(34, 34, 37), QColor(70, 70, 76), QColor(92, 92, 98)};
    return (translucent ? see : opaque)[int(material)];
}
