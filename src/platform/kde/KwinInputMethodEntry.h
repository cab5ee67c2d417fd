#pragma once

#include <QByteArray>
#include <QString>

// The desktop entry that lets the user choose Runeboard in System Settings →
// Virtual Keyboard (KWin lists entries with X-KDE-Wayland-VirtualKeyboard and
// starts the chosen one's Exec itself). The package installs one for its
// binary; a Runeboard run from elsewhere writes one for itself under the user's
// applications folder, by the same name, so that it takes the installed one's place.
// KWin lends fake input by the first entry it finds for a binary, whichever that
// is, so this one lists it too.
namespace KwinInputMethodEntry {

QByteArray entry(const QString& executable);
// Whether `entry` offers `executable` as the virtual keyboard, with its fake input.
bool startsExecutable(const QByteArray& entry, const QString& executable);
// Where a Runeboard writes its own.
QString userPath();
// Writes the user's entry unless one in the data folders already starts `executable`; false, with
// why, when it could not be written.
bool ensureFor(const QString& executable, QString* why);

} // namespace KwinInputMethodEntry
