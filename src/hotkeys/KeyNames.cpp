#include "KeyNames.h"

namespace KeyNames {

const QHash<quint32, QString>& keyNameTable() {
    // Keypad keys share the names of their main-keyboard twins.
    static const QHash<quint32, QString> table{
        // letters
        {0, QStringLiteral("A")},
        {1, QStringLiteral("S")},
        {2, QStringLiteral("D")},
        {3, QStringLiteral("F")},
        {4, QStringLiteral("H")},
        {5, QStringLiteral("G")},
        {6, QStringLiteral("Z")},
        {7, QStringLiteral("X")},
        {8, QStringLiteral("C")},
        {9, QStringLiteral("V")},
        {11, QStringLiteral("B")},
        {12, QStringLiteral("Q")},
        {13, QStringLiteral("W")},
        {14, QStringLiteral("E")},
        {15, QStringLiteral("R")},
        {16, QStringLiteral("Y")},
        {17, QStringLiteral("T")},
        {31, QStringLiteral("O")},
        {32, QStringLiteral("U")},
        {34, QStringLiteral("I")},
        {35, QStringLiteral("P")},
        {37, QStringLiteral("L")},
        {38, QStringLiteral("J")},
        {40, QStringLiteral("K")},
        {45, QStringLiteral("N")},
        {46, QStringLiteral("M")},
        // digit row
        {18, QStringLiteral("1")},
        {19, QStringLiteral("2")},
        {20, QStringLiteral("3")},
        {21, QStringLiteral("4")},
        {22, QStringLiteral("6")},
        {23, QStringLiteral("5")},
        {25, QStringLiteral("9")},
        {26, QStringLiteral("7")},
        {28, QStringLiteral("8")},
        {29, QStringLiteral("0")},
        // punctuation
        {24, QStringLiteral("=")},
        {27, QStringLiteral("-")},
        {30, QStringLiteral("]")},
        {33, QStringLiteral("[")},
        {39, QStringLiteral("'")},
        {41, QStringLiteral(";")},
        {42, QStringLiteral("\\")},
        {43, QStringLiteral(",")},
        {44, QStringLiteral("/")},
        {47, QStringLiteral(".")},
        {50, QStringLiteral("`")},
        // special keys
        {36, QStringLiteral("Return")},
        {48, QStringLiteral("Tab")},
        {49, QStringLiteral("Space")},
        {51, QStringLiteral("⌫")},
        {53, QStringLiteral("Esc")},
        {117, QStringLiteral("Del")},
        {115, QStringLiteral("Home")},
        {119, QStringLiteral("End")},
        {116, QStringLiteral("PgUp")},
        {121, QStringLiteral("PgDn")},
        {123, QStringLiteral("←")},
        {124, QStringLiteral("→")},
        {125, QStringLiteral("↓")},
        {126, QStringLiteral("↑")},
        // keypad
        {65, QStringLiteral(".")},
        {67, QStringLiteral("*")},
        {69, QStringLiteral("+")},
        {75, QStringLiteral("/")},
        {76, QStringLiteral("Enter")},
        {78, QStringLiteral("-")},
        {82, QStringLiteral("0")},
        {83, QStringLiteral("1")},
        {84, QStringLiteral("2")},
        {85, QStringLiteral("3")},
        {86, QStringLiteral("4")},
        {87, QStringLiteral("5")},
        {88, QStringLiteral("6")},
        {89, QStringLiteral("7")},
        {91, QStringLiteral("8")},
        {92, QStringLiteral("9")},
        // function keys
        {122, QStringLiteral("F1")},
        {120, QStringLiteral("F2")},
        {99, QStringLiteral("F3")},
        {118, QStringLiteral("F4")},
        {96, QStringLiteral("F5")},
        {97, QStringLiteral("F6")},
        {98, QStringLiteral("F7")},
        {100, QStringLiteral("F8")},
        {101, QStringLiteral("F9")},
        {109, QStringLiteral("F10")},
        {103, QStringLiteral("F11")},
        {111, QStringLiteral("F12")},
        {105, QStringLiteral("F13")},
        {107, QStringLiteral("F14")},
        {113, QStringLiteral("F15")},
    };
    return table;
}

QString displayText(const HotkeyConfig& config) {
    if (config.isEmpty())
        return QStringLiteral("—");
    QString text;
    if (config.modifiers & CarbonModifier::Control)
        text += QStringLiteral("⌃");
    if (config.modifiers & CarbonModifier::Option)
        text += QStringLiteral("⌥");
    if (config.modifiers & CarbonModifier::Shift)
        text += QStringLiteral("⇧");
    if (config.modifiers & CarbonModifier::Command)
        text += QStringLiteral("⌘");
    const QHash<quint32, QString>& names = keyNameTable();
    if (auto name = names.constFind(config.keyCode); name != names.cend())
        return text + *name;
    return text + QStringLiteral("Key") + QString::number(config.keyCode);
}

quint32 carbonModifiers(Qt::KeyboardModifiers modifiers) {
    quint32 mask = 0;
    if (modifiers & Qt::ControlModifier)
        mask |= CarbonModifier::Control;
    if (modifiers & Qt::AltModifier)
        mask |= CarbonModifier::Option;
    if (modifiers & Qt::ShiftModifier)
        mask |= CarbonModifier::Shift;
    // Qt reports the Super (logo) key as Meta on X11: it plays the Command role.
    if (modifiers & Qt::MetaModifier)
        mask |= CarbonModifier::Command;
    return mask;
}

} // namespace KeyNames
