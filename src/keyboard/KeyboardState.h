#pragma once

#include "keyboard/KeyboardSize.h"
#include "localization/LocalizationManager.h"
#include "sets/SetStore.h"
#include "sets/SymbolSet.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class KeyboardPanel;
class ModifierMonitor;
class SettingsStore;

// The one shared description of the on-screen keyboard: whether it is shown,
// whether Shift is held, its size, which set it shows and the characters of
// the unsaved custom set. It owns the panel, follows the Shift monitor and
// decides what each hotkey does.
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
    KeyboardState(SettingsStore& store, ModifierMonitor& shiftMonitor, QObject* parent = nullptr);
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

    SetStore* setStore() const { return m_setStore; }
    LocalizationManager* localizationManager() const { return m_localizationManager; }
    // None until the first show.
    KeyboardPanel* floatingPanel() const { return m_panel.get(); }

    // Follows the store, the language and the Shift monitor, and queues the launch step.
    virtual void configure(SetStore& setStore, LocalizationManager& localizationManager);
    // "K" shows or hides the keyboard, "1" to "3" choose a quick-access set.
    virtual void handleHotkey(const QString& identifier);
    virtual void selectQuickAccessSet(int index);
    // The set to show; never writes anything.
    virtual SymbolSet activeSet() const;
    // True when the unsaved custom set is the one shown.
    bool isUnsavedSetActive() const;
    void toggleVisibility();
    virtual void showPanel();

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

    SettingsStore& m_store;
    ModifierMonitor& m_shiftMonitor;
    std::unique_ptr<KeyboardPanel> m_panel;
    PanelFactory m_panelFactory;
    QPointer<SetStore> m_setStore;
    QPointer<LocalizationManager> m_localizationManager;
    bool m_isKeyboardVisible = false;
    bool m_isShiftPressed = false;
    bool m_monitorStarted = false;
};
