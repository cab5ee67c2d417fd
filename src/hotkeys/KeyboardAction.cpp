#include "hotkeys/KeyboardAction.h"

#include <linux/input-event-codes.h>

namespace KeyboardActions {
namespace {
constexpr HotkeyModifiers altShift = HotkeyModifier::Alt | HotkeyModifier::Shift;

// The stored names are those of the existing configuration files; they stay as they are.
constexpr std::array<KeyboardActionRow, 4> table{{
    {KeyboardAction::ToggleKeyboard, "toggleKeyboard", "K", "--toggle", "hotkey_toggle", {KEY_K, altShift}},
    {KeyboardAction::QuickSet1, "switchPalette1", "1", "--set 1", "hotkey_palette1", {KEY_1, altShift}},
    {KeyboardAction::QuickSet2, "switchPalette2", "2", "--set 2", "hotkey_palette2", {KEY_2, altShift}},
    {KeyboardAction::QuickSet3, "switchPalette3", "3", "--set 3", "hotkey_palette3", {KEY_3, altShift}},
}};
// Rows are found by the action's value.
static_assert([] {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (static_cast<std::size_t>(table[i].action) != i)
            return false;
    }
    return true;
}());
} // namespace

const std::array<KeyboardActionRow, 4>& rows() {
    return table;
}

const KeyboardActionRow& row(KeyboardAction action) {
    return table[static_cast<std::size_t>(action)];
}

std::optional<KeyboardAction> quickSet(int number) {
    if (number < 1 || number > 3)
        return std::nullopt;
    return table[static_cast<std::size_t>(number)].action;
}

} // namespace KeyboardActions
