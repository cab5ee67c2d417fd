#include "hotkeys/KeyTable.h"

#include <QHash>
#include <QStringList>

namespace KeyTable {
namespace {

// Carbon modifier bits, the stored form of a combination's modifiers.
namespace CarbonModifier {
constexpr quint32 Command = 256;
constexpr quint32 Shift = 512;
constexpr quint32 Option = 2048;
constexpr quint32 Control = 4096;
} // namespace CarbonModifier

// Option is Alt, Command is Super.
constexpr std::pair<quint32, HotkeyModifier> carbonBits[] = {
    {CarbonModifier::Control, HotkeyModifier::Control},
    {CarbonModifier::Option, HotkeyModifier::Alt},
    {CarbonModifier::Shift, HotkeyModifier::Shift},
    {CarbonModifier::Command, HotkeyModifier::Super},
};

struct Row {
    quint32 mac;
    PhysicalKey evdev;
    const char16_t* name; // null for keys without a name of their own
};

// macOS virtual key code → evdev code of the key at the same place, and its name.
constexpr Row rows[] = {
    // letters
    {0, 30, u"A"},
    {1, 31, u"S"},
    {2, 32, u"D"},
    {3, 33, u"F"},
    {4, 35, u"H"},
    {5, 34, u"G"},
    {6, 44, u"Z"},
    {7, 45, u"X"},
    {8, 46, u"C"},
    {9, 47, u"V"},
    {11, 48, u"B"},
    {12, 16, u"Q"},
    {13, 17, u"W"},
    {14, 18, u"E"},
    {15, 19, u"R"},
    {16, 21, u"Y"},
    {17, 20, u"T"},
    {31, 24, u"O"},
    {32, 22, u"U"},
    {34, 23, u"I"},
    {35, 25, u"P"},
    {37, 38, u"L"},
    {38, 36, u"J"},
    {40, 37, u"K"},
    {45, 49, u"N"},
    {46, 50, u"M"},
    // digit row
    {18, 2, u"1"},
    {19, 3, u"2"},
    {20, 4, u"3"},
    {21, 5, u"4"},
    {22, 7, u"6"},
    {23, 6, u"5"},
    {25, 10, u"9"},
    {26, 8, u"7"},
    {28, 9, u"8"},
    {29, 11, u"0"},
    // punctuation; 10 is the ISO key beside the left Shift, 50 the grave accent left of 1
    {24, 13, u"="},
    {27, 12, u"-"},
    {30, 27, u"]"},
    {33, 26, u"["},
    {39, 40, u"'"},
    {41, 39, u";"},
    {42, 43, u"\\"},
    {43, 51, u","},
    {44, 53, u"/"},
    {47, 52, u"."},
    {50, 41, u"`"},
    {10, 86, nullptr},
    // editing and navigation; 51 is Backspace, 117 the forward Delete, 114 Help sits where Insert is
    {36, 28, u"Return"},
    {48, 15, u"Tab"},
    {49, 57, u"Space"},
    {51, 14, u"Backspace"},
    {53, 1, u"Esc"},
    {117, 111, u"Del"},
    {114, 110, nullptr},
    {115, 102, u"Home"},
    {119, 107, u"End"},
    {116, 104, u"PgUp"},
    {121, 109, u"PgDn"},
    {123, 105, u"Left"},
    {124, 106, u"Right"},
    {125, 108, u"Down"},
    {126, 103, u"Up"},
    {110, 127, nullptr},
    // keypad; 71 Clear sits where Num Lock is
    {65, 83, u"."},
    {67, 55, u"*"},
    {69, 78, u"+"},
    {71, 69, nullptr},
    {75, 98, u"/"},
    {76, 96, u"Enter"},
    {78, 74, u"-"},
    {81, 117, nullptr},
    {82, 82, u"0"},
    {83, 79, u"1"},
    {84, 80, u"2"},
    {85, 81, u"3"},
    {86, 75, u"4"},
    {87, 76, u"5"},
    {88, 77, u"6"},
    {89, 71, u"7"},
    {91, 72, u"8"},
    {92, 73, u"9"},
    // function keys
    {122, 59, u"F1"},
    {120, 60, u"F2"},
    {99, 61, u"F3"},
    {118, 62, u"F4"},
    {96, 63, u"F5"},
    {97, 64, u"F6"},
    {98, 65, u"F7"},
    {100, 66, u"F8"},
    {101, 67, u"F9"},
    {109, 68, u"F10"},
    {103, 87, u"F11"},
    {111, 88, u"F12"},
    {105, 183, u"F13"},
    {107, 184, u"F14"},
    {113, 185, u"F15"},
    {106, 186, nullptr},
    {64, 187, nullptr},
    {79, 188, nullptr},
    {80, 189, nullptr},
    {90, 190, nullptr},
    // volume
    {72, 115, nullptr},
    {73, 114, nullptr},
    {74, 113, nullptr},
    // Japanese keyboards: Yen, Ro, keypad comma, Eisu, Kana
    {93, 124, nullptr},
    {94, 89, nullptr},
    {95, 121, nullptr},
    {102, 123, nullptr},
    {104, 122, nullptr},
};

struct Maps {
    QHash<quint32, PhysicalKey> toEvdev;
    QHash<PhysicalKey, quint32> fromEvdev;
    QHash<PhysicalKey, QString> names;
    Maps() {
        for (const Row& row : rows) {
            toEvdev.insert(row.mac, row.evdev);
            fromEvdev.insert(row.evdev, row.mac);
            if (row.name)
                names.insert(row.evdev, QString::fromUtf16(row.name));
        }
    }
};

const Maps& maps() {
    static const Maps instance;
    return instance;
}

std::optional<Qt::Key> qtKey(const QString& name) {
    if (name.size() == 1) // Qt numbers the printable ASCII keys by their upper-case character
        return Qt::Key(name.at(0).toUpper().unicode());
    if (name.startsWith(u'F'))
        return Qt::Key(Qt::Key_F1 + name.mid(1).toInt() - 1);
    static const QHash<QString, Qt::Key> special = {
        {QStringLiteral("Return"), Qt::Key_Return}, {QStringLiteral("Tab"), Qt::Key_Tab},
        {QStringLiteral("Space"), Qt::Key_Space},   {QStringLiteral("Backspace"), Qt::Key_Backspace},
        {QStringLiteral("Esc"), Qt::Key_Escape},    {QStringLiteral("Del"), Qt::Key_Delete},
        {QStringLiteral("Home"), Qt::Key_Home},     {QStringLiteral("End"), Qt::Key_End},
        {QStringLiteral("PgUp"), Qt::Key_PageUp},   {QStringLiteral("PgDn"), Qt::Key_PageDown},
        {QStringLiteral("Left"), Qt::Key_Left},     {QStringLiteral("Right"), Qt::Key_Right},
        {QStringLiteral("Up"), Qt::Key_Up},         {QStringLiteral("Down"), Qt::Key_Down},
        {QStringLiteral("Enter"), Qt::Key_Enter},
    };
    const auto found = special.constFind(name);
    return found == special.cend() ? std::nullopt : std::optional<Qt::Key>(*found);
}

} // namespace

Hotkey fromStored(const StoredHotkey& stored) {
    if (stored.keyCode == 0 && stored.modifiers == 0)
        return {};
    Hotkey hotkey;
    hotkey.key = maps().toEvdev.value(stored.keyCode, Hotkey::unknownKey);
    for (const auto& [bit, modifier] : carbonBits)
        hotkey.modifiers.setFlag(modifier, stored.modifiers & bit);
    return hotkey;
}

std::optional<StoredHotkey> toStored(const Hotkey& hotkey) {
    if (hotkey.isEmpty())
        return StoredHotkey{};
    const auto code = maps().fromEvdev.constFind(hotkey.key);
    if (code == maps().fromEvdev.cend())
        return std::nullopt;
    StoredHotkey stored{*code, 0};
    for (const auto& [bit, modifier] : carbonBits) {
        if (hotkey.modifiers & modifier)
            stored.modifiers |= bit;
    }
    return stored;
}

bool isRecordable(PhysicalKey key) {
    return maps().fromEvdev.contains(key);
}

QString keyName(PhysicalKey key) {
    return maps().names.value(key);
}

QString displayText(const Hotkey& hotkey) {
    if (hotkey.isEmpty())
        return QStringLiteral("—");
    // Linux keyboards carry words, not glyphs, on their modifier keys.
    QStringList parts;
    for (const auto& [modifier, word] : {std::pair{HotkeyModifier::Control, "Ctrl"},
                                         {HotkeyModifier::Alt, "Alt"},
                                         {HotkeyModifier::Shift, "Shift"},
                                         {HotkeyModifier::Super, "Super"}}) {
        if (hotkey.modifiers & modifier)
            parts.append(QLatin1String(word));
    }
    const QString name = keyName(hotkey.key);
    if (!name.isEmpty())
        parts.append(name);
    else if (hotkey.key == Hotkey::unknownKey)
        parts.append(QStringLiteral("?"));
    else
        parts.append(QStringLiteral("Key") + QString::number(hotkey.key));
    return parts.join(u'+');
}

std::optional<QKeyCombination> keyCombination(const Hotkey& hotkey) {
    const QString name = keyName(hotkey.key);
    const std::optional<Qt::Key> key = name.isEmpty() ? std::nullopt : qtKey(name);
    if (!key)
        return std::nullopt;
    Qt::KeyboardModifiers modifiers;
    modifiers.setFlag(Qt::ControlModifier, hotkey.modifiers & HotkeyModifier::Control);
    modifiers.setFlag(Qt::AltModifier, hotkey.modifiers & HotkeyModifier::Alt);
    modifiers.setFlag(Qt::ShiftModifier, hotkey.modifiers & HotkeyModifier::Shift);
    modifiers.setFlag(Qt::MetaModifier, hotkey.modifiers & HotkeyModifier::Super);
    return QKeyCombination(modifiers, *key);
}

HotkeyModifiers fromQt(Qt::KeyboardModifiers modifiers) {
    HotkeyModifiers result;
    result.setFlag(HotkeyModifier::Control, modifiers & Qt::ControlModifier);
    result.setFlag(HotkeyModifier::Alt, modifiers & Qt::AltModifier);
    result.setFlag(HotkeyModifier::Shift, modifiers & Qt::ShiftModifier);
    // Qt reports the Super (logo) key as Meta on X11.
    result.setFlag(HotkeyModifier::Super, modifiers & Qt::MetaModifier);
    return result;
}

} // namespace KeyTable
