#pragma once

#include "hotkeys/Hotkey.h"

#include <QString>
#include <QStringList>

class HotkeySettings;

// Where the compositor owns the key combinations (Wayland), the user binds
// them there: one line of the compositor's configuration per recorded
// combination, in sway's syntax, each calling the running Runeboard.
namespace CompositorBindings {

// "bindsym Mod1+Shift+k exec runeboard --toggle" for the toggle, "… --set N"
// for the three sets; empty combinations are left out. A key without a
// keysym name of its own is bound by its keycode (bindcode).
QStringList swayLines(const HotkeySettings& settings);
// The same for one combination; empty when the combination is empty or its key unknown.
QString swayLine(const Hotkey& hotkey, const QString& arguments);

} // namespace CompositorBindings
