#pragma once

#include "sets/SymbolSet.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <optional>

class CustomRowButton;
class HotkeySettings;
class KeyboardState;
class LocalizationManager;
class SetStore;

class SetFileButtons;
class SetList;
class SetRow;
class SubtleResetButton;

// The list of symbol sets: the Custom row, one row per set in the store's
// order, and the factory reset below. Every change goes through the store,
// the keyboard state and the hotkey objects; the rows only mirror the store.
class SetsTab : public QWidget {
    Q_OBJECT

public:
    SetsTab(LocalizationManager& localization, SetStore& sets, KeyboardState& keyboard,
            HotkeySettings& hotkeys, QWidget* parent = nullptr);

    void retranslate();

    // The set whose deletion is being confirmed, while the question is shown.
    std::optional<SymbolSet> setToDelete() const { return m_setToDelete; }
    QMessageBox* deleteConfirmation() const { return m_confirmation; }

    CustomRowButton* customRow() const;
    int rowCount() const;
    // The row of the set at `index` in the store's list, scrolled into view.
    SetRow* row(int index) const;
    SubtleResetButton* factoryResetButton() const { return m_reset; }

private:
    void openCustomSet();
    void makeMain(const QUuid& id);
    void askToDelete(const SymbolSet& set);
    void answerDeletion(bool confirmed);
    void restoreFactoryDefaults();

    LocalizationManager& m_localization;
    SetStore& m_sets;
    KeyboardState& m_keyboard;
    HotkeySettings& m_hotkeys;
    SetList* m_list = nullptr;
    SubtleResetButton* m_reset = nullptr;
    SetFileButtons* m_files = nullptr;
    std::optional<SymbolSet> m_setToDelete;
    QPointer<QMessageBox> m_confirmation;
};
