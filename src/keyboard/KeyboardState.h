#pragma once

#include "hotkeys/KeyboardAction.h"
#include "keyboard/KeyboardSize.h"
#include "sets/SymbolSet.h"

#include <QObject>

#include <functional>
#include <memory>

class KeyboardPanel;
class LocalizationManager;
class SetStore;
class ModifierMonitor;
class SettingsStore;

// The one shared description of the on-screen keyboard: whether it is shown,
// whether Shift is held, its size, which set it shows and the characters of
// the unsaved custom set. It owns the panel, follows the Shift monitor and
// carries out the actions of the hotkeys and of the command line.
class KeyboardState : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isKeyboardVisible READ isKeyboardVisible NOTIFY isKeyboardVisibleChanged)
    Q_PROPERTY(bool isShiftPressed READ isShiftPressed WRITE setShiftPressed NOTIFY isShiftPressedChanged)
    Q_PROPERTY(KeyboardSize keyboardSize READ keyboardSize WRITE setKeyboardSize NOTIFY keyboardSizeChanged)
    Q_PROPERTY(QString activeSetId READ activeSetId WRITE setActiveSetId NOTIFY activeSetIdChanged)
    Q_PROPERTY(QString temporaryCustomCharacters READ temporaryCustomCharacters WRITE
                   setTemporaryCustomCharacters NOTIFY temporaryCustomCharactersChanged)
    Q_PROPERTY(bool separateCustomSymbols READ separateCustomSymbols WRITE setSeparateCustomSymbols NOTIFY
                   separateCustomSymbolsChanged)

public:
    using PanelFactory = std::function<std::unique_ptr<KeyboardPanel>()>;

    // Size, active set, unsaved characters and separation are the store's
    // (SettingsTable); the state keeps only what lasts for the run.
    KeyboardState(SettingsStore& store, SetStore& sets, LocalizationManager& localization,
                  ModifierMonitor& shiftMonitor, QObject* parent = nullptr);
    ~KeyboardState() override;

    // Builds the panel on first show (AppState hands in one that hosts the keyboard view).
    void setPanelFactory(PanelFactory factory);

    bool isKeyboardVisible() const { return m_isKeyboardVisible; }
    bool isShiftPressed() const { return m_isShiftPressed; }
    void setShiftPressed(bool pressed);
    // True where the physical Shift key cannot be followed whichever window has
    // the focus: the keyboard then has a Shift key of its own.
    bool offersShiftKey() const;
    // True where a click's own events say whether Shift was held (see ModifierMonitor).
    bool clicksCarryShift() const;

    KeyboardSize keyboardSize() const;
    void setKeyboardSize(KeyboardSize size);
    QString activeSetId() const;
    void setActiveSetId(const QString& id);
    QString temporaryCustomCharacters() const;
    void setTemporaryCustomCharacters(const QString& characters);
    bool separateCustomSymbols() const;
    void setSeparateCustomSymbols(bool separate);

    // None until the first show.
    KeyboardPanel* floatingPanel() const { return m_panel.get(); }

    // Follows the Shift monitor and queues the launch step: the main set is
    // chosen when none is, and the keyboard is shown (as at every launch).
    void start();
    // What a hotkey, `--toggle` or `--set N` asks for.
    void perform(KeyboardAction action);
    // The set to show; never writes anything.
    SymbolSet activeSet() const;
    // True when the unsaved custom set is the one shown.
    bool isUnsavedSetActive() const;
    void toggleVisibility();
    void showPanel();

Q_SIGNALS:
    void isKeyboardVisibleChanged(bool visible);
    void isShiftPressedChanged(bool pressed);
    void keyboardSizeChanged();
    void activeSetIdChanged();
    void temporaryCustomCharactersChanged();
    void separateCustomSymbolsChanged();
    // Anything the keyboard view shows may have changed (any field above, or the store's sets).
    void changed();

private:
    void runLaunchStep();
    void selectQuickAccessSet(int index);

    SettingsStore& m_store;
    ModifierMonitor& m_shiftMonitor;
    std::unique_ptr<KeyboardPanel> m_panel;
    PanelFactory m_panelFactory;
    SetStore& m_sets;
    bool m_isKeyboardVisible = false;
    bool m_isShiftPressed = false;
    bool m_monitorStarted = false;
};
