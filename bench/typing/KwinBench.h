#pragma once

#include <QList>
#include <QString>

// Symbols in common: the longest common subsequence, so one lost symbol costs one, not the rest.
int symbolsRight(const QList<uint>& expected, const QList<uint>& received);

// On a headless KWin: `runeboard --type` into a Qt line edit on Wayland (pasted through KWin's fake
// input) against copying each symbol and pressing Ctrl+V, back to back and with a pause; then on
// one with Runeboard chosen as Plasma's virtual keyboard, `runeboard --type` through it.
void compareOnKwin(const QString& text, const QString& runeboard);
