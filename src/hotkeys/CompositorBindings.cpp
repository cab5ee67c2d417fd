#include "hotkeys/CompositorBindings.h"

#include "hotkeys/HotkeySettings.h"
#include "hotkeys/KeyTable.h"

#include <QHash>

namespace CompositorBindings {
namespace {
// Keysym names of the keys whose shown name is not already one (letters and digits are).
QString keysymName(PhysicalKey evdev) {
    static const QHash<PhysicalKey, const char*> names = {
        {12, "minus"},      {13, "equal"},   {26, "bracketleft"}, {27, "bracketright"}, {39, "semicolon"},
        {40, "apostrophe"}, {41, "grave"},   {43, "backslash"},   {51, "comma"},        {52, "period"},
        {53, "slash"},      {28, "Return"},  {15, "Tab"},         {57, "space"},        {14, "BackSpace"},
        {1, "Escape"},      {111, "Delete"}, {102, "Home"},       {107, "End"},         {104, "Prior"},
        {109, "Next"},      {105, "Left"},   {106, "Right"},      {103, "Up"},          {108, "Down"},
    };
    if (const char* name = names.value(evdev))
        return QString::fromLatin1(name);
    if (evdev >= 59 && evdev <= 68) // F1–F10
        return QStringLiteral("F%1").arg(evdev - 58);
    if (evdev == 87 || evdev == 88)
        return QStringLiteral("F%1").arg(evdev - 76);
    return {};
}
} // namespace

QString swayLine(const Hotkey& hotkey, const QString& arguments) {
    if (hotkey.isEmpty() || !KeyTable::isRecordable(hotkey.key))
        return {};
    QStringList parts;
    if (hotkey.modifiers & HotkeyModifier::Super)
        parts.append(QStringLiteral("Mod4"));
    if (hotkey.modifiers & HotkeyModifier::Control)
        parts.append(QStringLiteral("Control"));
    if (hotkey.modifiers & HotkeyModifier::Alt)
        parts.append(QStringLiteral("Mod1"));
    if (hotkey.modifiers & HotkeyModifier::Shift)
        parts.append(QStringLiteral("Shift"));

    QString name = keysymName(hotkey.key);
    const QString shown = KeyTable::keyName(hotkey.key);
    if (name.isEmpty() && shown.size() == 1 && shown.at(0).isLetterOrNumber())
        name = shown.toLower();
    const bool byCode = name.isEmpty();
    parts.append(byCode ? QString::number(hotkey.key + 8) : name);
    return QStringLiteral("%1 %2 exec runeboard %3")
        .arg(byCode ? QStringLiteral("bindcode") : QStringLiteral("bindsym"), parts.join(u'+'), arguments);
}

QStringList swayLines(const HotkeySettings& settings) {
    QStringList lines;
    for (const KeyboardActionRow& row : KeyboardActions::rows()) {
        const QString line = swayLine(settings.hotkey(row.action), QString::fromLatin1(row.arguments));
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

} // namespace CompositorBindings
