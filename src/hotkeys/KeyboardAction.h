#pragma once

#include "hotkeys/Hotkey.h"

#include <array>
#include <optional>

// What a global combination, or `runeboard --toggle` and `--set N`, asks of
// the keyboard. The quick-access sets are counted from 1, as `--set` and the
// settings count them.
enum class KeyboardAction { ToggleKeyboard, QuickSet1, QuickSet2, QuickSet3 };

// Everything that differs between the actions, one row each.
struct KeyboardActionRow {
    KeyboardAction action;
    const char* storedName;  // its member in the stored document
    const char* printedName; // how the log and the tools name it
    const char* arguments;   // the `runeboard` arguments that do the same
    const char* titleKey;    // its title in the string table
    Hotkey defaultHotkey;
};

namespace KeyboardActions {
// In the order of the settings and of the stored document.
const std::array<KeyboardActionRow, 4>& rows();
const KeyboardActionRow& row(KeyboardAction action);
// QuickSet1 … QuickSet3 for 1 … 3; nothing for any other number.
std::optional<KeyboardAction> quickSet(int number);
} // namespace KeyboardActions
