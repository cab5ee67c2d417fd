#pragma once

#include <QString>

// `runeboard --type TEXT`: types the text into the window that has the
// keyboard focus, through the same engine as the keyboard's keys, and gives
// the keyboard mapping back before returning. Needs the QApplication. Returns
// the exit code: 0 when every symbol was delivered, 1 when some could not be,
// 2 when nothing can be typed here, 128 + n when signal n stopped it. Every
// failure is explained on standard error. Typing waits its turn on the
// user's runtime folder `turnPath` (an flock on the folder itself, so nothing
// is left behind): two of these typing at once would each find the spare
// keycodes taken by the other's bindings.
int runTypeCommand(const QString& text, const QString& turnPath);
