#include "KeyboardState.h"

#include "keyboard/KeyboardPanel.h"
#include "localization/LocalizationManager.h"
#include "palettes/PaletteManager.h"
#include "platform/Log.h"
#include "platform/ModifierMonitor.h"
#include "storage/SettingsStore.h"

namespace {
SymbolPalette customPalette(const QString& customCharacters) {
    SymbolPalette palette;
    palette.id = customPaletteID;
    palette.name = QStringLiteral("Custom");
    palette.customCharacters = customCharacters;
    return palette;
}
} // namespace

KeyboardState::KeyboardState(SettingsStore& store, ModifierMonitor& shiftMonitor, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_shiftMonitor(shiftMonitor) {
    // The persisted fields live in the store; whoever changed them, this
    // process or another one sharing the file, they are published here.
    connect(&m_store, &SettingsStore::changed, this, [this](SettingKey key) {
        switch (key) {
        case SettingKey::KeyboardSize:
            Q_EMIT keyboardSizeChanged();
            break;
        case SettingKey::ActivePaletteID:
            Q_EMIT activePaletteIDChanged();
            break;
        case SettingKey::TemporaryCustomCharacters:
            Q_EMIT temporaryCustomCharactersChanged();
            break;
        case SettingKey::SeparateCustomSymbols:
            Q_EMIT separateCustomSymbolsChanged();
            break;
        default:
            break;
        }
    });
    // The view redraws from one signal, whichever field it was.
    for (auto signal :
         {&KeyboardState::keyboardSizeChanged, &KeyboardState::activePaletteIDChanged,
          &KeyboardState::temporaryCustomCharactersChanged, &KeyboardState::separateCustomSymbolsChanged})
        connect(this, signal, this, &KeyboardState::changed);
    connect(this, &KeyboardState::isShiftPressedChanged, this, &KeyboardState::changed);
    connect(this, &KeyboardState::isKeyboardVisibleChanged, this, &KeyboardState::changed);
}

KeyboardState::~KeyboardState() {
    // The panel's content reads this state; it must go first.
    m_panel.reset();
}

void KeyboardState::setPanelFactory(PanelFactory factory) {
    m_panelFactory = std::move(factory);
}

void KeyboardState::setShiftPressed(bool pressed) {
    if (m_isShiftPressed == pressed)
        return;
    m_isShiftPressed = pressed;
    Q_EMIT isShiftPressedChanged(pressed);
}

bool KeyboardState::offersShiftKey() const {
    return !m_monitorStarted || !m_shiftMonitor.followsEveryWindow();
}

KeyboardSize KeyboardState::keyboardSize() const {
    return keyboardSizeFromRaw(m_store.text(SettingKey::KeyboardSize));
}

void KeyboardState::setKeyboardSize(KeyboardSize size) {
    m_store.setValue(SettingKey::KeyboardSize, rawString(size));
}

QString KeyboardState::activePaletteID() const {
    return m_store.text(SettingKey::ActivePaletteID);
}

void KeyboardState::setActivePaletteID(const QString& id) {
    m_store.setValue(SettingKey::ActivePaletteID, id);
}

QString KeyboardState::temporaryCustomCharacters() const {
    return m_store.text(SettingKey::TemporaryCustomCharacters);
}

void KeyboardState::setTemporaryCustomCharacters(const QString& characters) {
    m_store.setValue(SettingKey::TemporaryCustomCharacters, characters);
}

bool KeyboardState::separateCustomSymbols() const {
    return m_store.boolean(SettingKey::SeparateCustomSymbols);
}

void KeyboardState::setSeparateCustomSymbols(bool separate) {
    m_store.setValue(SettingKey::SeparateCustomSymbols, separate);
}

void KeyboardState::configure(PaletteManager& paletteManager, LocalizationManager& localizationManager) {
    if (m_paletteManager)
        disconnect(m_paletteManager, nullptr, this, nullptr);
    if (m_localizationManager)
        disconnect(m_localizationManager, nullptr, this, nullptr);
    m_paletteManager = &paletteManager;
    m_localizationManager = &localizationManager;
    connect(&paletteManager, &PaletteManager::palettesChanged, this, &KeyboardState::changed);
    connect(&localizationManager, &LocalizationManager::currentLanguageChanged, this,
            &KeyboardState::changed);

    // One monitor covers both scopes here: it sees Shift whichever window has the focus.
    connect(&m_shiftMonitor, &ModifierMonitor::shiftChanged, this, &KeyboardState::setShiftPressed,
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
    if (!m_monitorStarted)
        m_monitorStarted = m_shiftMonitor.start();

    QMetaObject::invokeMethod(this, &KeyboardState::runLaunchStep, Qt::QueuedConnection);
}

void KeyboardState::runLaunchStep() {
    if (activePaletteID().isEmpty()) {
        if (const auto main = m_paletteManager->mainPalette())
            setActivePaletteID(main->idText());
    }
    if (!m_isKeyboardVisible)
        toggleVisibility();
}

void KeyboardState::handleHotkey(const QString& identifier) {
    if (identifier == QLatin1String("K"))
        toggleVisibility();
    else if (identifier == QLatin1String("1"))
        selectQuickAccessSet(0);
    else if (identifier == QLatin1String("2"))
        selectQuickAccessSet(1);
    else if (identifier == QLatin1String("3"))
        selectQuickAccessSet(2);
}

void KeyboardState::selectQuickAccessSet(int index) {
    const QList<SymbolPalette> sets = m_paletteManager->quickAccessPalettes();
    if (index >= 0 && index < sets.size())
        setActivePaletteID(sets.at(index).idText());
}

SymbolPalette KeyboardState::activePalette() const {
    const QString id = activePaletteID();
    if (const auto uuid = SymbolPalette::parseId(id)) {
        if (const auto stored = m_paletteManager->palette(*uuid))
            return *stored;
    }
    if (id == customPaletteIDText || id == customEmptyID)
        return customPalette(temporaryCustomCharacters());
    if (const auto main = m_paletteManager->mainPalette())
        return *main;
    const QList<SymbolPalette> sets = m_paletteManager->quickAccessPalettes();
    if (!sets.isEmpty())
        return sets.first();
    return customPalette(QString());
}

bool KeyboardState::isCustomPaletteActive() const {
    return activePalette().id == customPaletteID;
}

void KeyboardState::toggleVisibility() {
    m_isKeyboardVisible = !m_isKeyboardVisible;
    Q_EMIT isKeyboardVisibleChanged(m_isKeyboardVisible);
    if (m_isKeyboardVisible)
        showPanel();
    else if (m_panel)
        m_panel->orderOut();
}

void KeyboardState::showPanel() {
    if (!m_panel) {
        if (!m_panelFactory) {
            Log::line(QStringLiteral("[KeyboardState] No panel to show the keyboard in"));
            return;
        }
        m_panel = m_panelFactory();
        if (!m_panel)
            return;
    }
    m_panel->orderFront();
}
