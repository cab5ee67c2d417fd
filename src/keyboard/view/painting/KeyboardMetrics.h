#pragma once

#include "keyboard/KeyboardSize.h"

#include <QtGlobal>

// Every length of the keyboard view, in device-independent pixels, for one size.
struct KeyboardMetrics {
    qreal keySize;      // height of every key, side of the add key and of the field buttons
    qreal fontSize;     // key text and field text
    qreal keySpacing;   // between keys, rows, and the base and custom blocks
    qreal fieldSpacing; // between a text field and its two buttons
    qreal innerPadding; // inside the card, all four sides
    qreal cardRadius;
    qreal keyRadius;  // keys, fields and buttons
    qreal bevelWidth; // keys, fields and buttons
    int maxKeysPerRow;
    qreal saveRowGap;  // between the key area and the save row
    qreal outerMargin; // transparent, around the card

    static KeyboardMetrics forSize(KeyboardSize size) {
        if (size == KeyboardSize::Full)
            return {46, 22, 6, 4, 20, 30, 16, 4, 10, 16, 20};
        return {30, 14, 4, 2, 10, 20, 10, 2, 10, 16, 20};
    }
};
