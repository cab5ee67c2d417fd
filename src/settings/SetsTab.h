#pragma once

#include "palettes/SymbolPalette.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <optional>

class CustomRowButton;
class HotkeySettings;
class KeyboardState;
class LocalizationManager;
class PaletteManager;

class SetList;
class SetRow;
class SubtleResetButton;

// The list of symbol sets: the Custom row, one row per set in the store's
// order, and the factory reset below. Every change goes through the store,
// the keyboard state and the hotkey objects; the rows only mirror the store.
class SetsTab : public QWidget {
    Q_OBJECT

public:
    SetsTab(LocalizationManager& localization, PaletteManager& palettes, KeyboardState& keyboard,
            HotkeySettings& hotkeys, QWidget* parent = nullptr);

    void retranslate();

    // The set whose deletion is being confirmed, while the question is shown.
    std::optional<SymbolPalette> paletteToDelete() const { return m_paletteToDelete; }
    QMessageBox* deleteConfirmation() const { return m_confirmation; }

    CustomRowButton* customRow() const;
    int rowCount() const;
    // The row of the set at `index` in the store's list, scrolled into view.
    SetRow* row(int index) const;
    SubtleResetButton* factoryResetButton() const { return m_reset; }

private:
    void openCustomSet();
    void makeMain(const QUuid& id);
    void askToDelete(const SymbolPalette& set);
    void answerDeletion(bool confirmed);
    void restoreFactoryDefaults();

    LocalizationManager& m_localization;
    PaletteManager& m_palettes;
    KeyboardState& m_keyboard;
    HotkeySettings& m_hotkeys;
    SetList* m_list = nullptr;
    SubtleResetButton* m_reset = nullptr;
    std::optional<SymbolPalette> m_paletteToDelete;
    QPointer<QMessageBox> m_confirmation;
};
