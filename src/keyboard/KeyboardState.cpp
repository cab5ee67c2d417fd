#include "KeyboardState.h"

#include "keyboard/KeyboardPanel.h"
#include "localization/LocalizationManager.h"
#include "platform/Log.h"
#include "platform/ModifierMonitor.h"
#include "platform/StartupTrace.h"
#include "sets/SetStore.h"
#include "sets/UnsavedSet.h"
#include "storage/SettingsStore.h"

KeyboardState::KeyboardState(SettingsStore& store, SetStore& sets, LocalizationManager& localization,
                             ModifierMonitor& shiftMonitor, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_shiftMonitor(shiftMonitor)
    , m_sets(sets) {
    // The persisted fields live in the store; whoever changed them, this
    // process or another one sharing the file, they are published here.
    connect(&m_store, &SettingsStore::changed, this, [this](SettingKey key) {
        switch (key) {
        case SettingKey::KeyboardSize:
            Q_EMIT keyboardSizeChanged();
            break;
        case SettingKey::ActiveSetId:
            Q_EMIT activeSetIdChanged();
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
         {&KeyboardState::keyboardSizeChanged, &KeyboardState::activeSetIdChanged,
          &KeyboardState::temporaryCustomCharactersChanged, &KeyboardState::separateCustomSymbolsChanged})
        connect(this, signal, this, &KeyboardState::changed);
    connect(this, &KeyboardState::isShiftPressedChanged, this, &KeyboardState::changed);
    connect(this, &KeyboardState::isKeyboardVisibleChanged, this, &KeyboardState::changed);
    connect(&m_sets, &SetStore::setsChanged, this, &KeyboardState::changed);
    connect(&localization, &LocalizationManager::currentLanguageChanged, this, &KeyboardState::changed);
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

bool KeyboardState::clicksCarryShift() const {
    return m_monitorStarted && m_shiftMonitor.clicksCarryShift();
}

KeyboardSize KeyboardState::keyboardSize() const {
    return keyboardSizeFromRaw(m_store.text(SettingKey::KeyboardSize));
}

void KeyboardState::setKeyboardSize(KeyboardSize size) {
    m_store.setValue(SettingKey::KeyboardSize, rawString(size));
}

QString KeyboardState::activeSetId() const {
    return m_store.text(SettingKey::ActiveSetId);
}

void KeyboardState::setActiveSetId(const QString& id) {
    m_store.setValue(SettingKey::ActiveSetId, id);
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

void KeyboardState::start() {
    // One monitor covers both scopes here: it sees Shift whichever window has the focus.
    connect(&m_shiftMonitor, &ModifierMonitor::shiftChanged, this, &KeyboardState::setShiftPressed,
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
    if (!m_monitorStarted)
        m_monitorStarted = m_shiftMonitor.start();

    QMetaObject::invokeMethod(this, &KeyboardState::runLaunchStep, Qt::QueuedConnection);
}

void KeyboardState::runLaunchStep() {
    if (activeSetId().isEmpty()) {
        if (const auto main = m_sets.mainSet())
            setActiveSetId(main->idText());
    }
    StartupTrace::mark("active set chosen");
    if (!m_isKeyboardVisible)
        toggleVisibility();
    StartupTrace::mark("panel shown");
}

void KeyboardState::perform(KeyboardAction action) {
    switch (action) {
    case KeyboardAction::ToggleKeyboard:
        toggleVisibility();
        break;
    case KeyboardAction::QuickSet1:
        selectQuickAccessSet(0);
        break;
    case KeyboardAction::QuickSet2:
        selectQuickAccessSet(1);
        break;
    case KeyboardAction::QuickSet3:
        selectQuickAccessSet(2);
        break;
    }
}

void KeyboardState::selectQuickAccessSet(int index) {
    const QList<SymbolSet> sets = m_sets.quickAccessSets();
    if (index >= 0 && index < sets.size())
        setActiveSetId(sets.at(index).idText());
}

SymbolSet KeyboardState::activeSet() const {
    const QString id = activeSetId();
    if (const auto uuid = SymbolSet::parseId(id)) {
        if (const auto stored = m_sets.find(*uuid))
            return *stored;
    }
    if (UnsavedSet::isSelectedBy(id))
        return UnsavedSet::withCharacters(temporaryCustomCharacters());
    if (const auto main = m_sets.mainSet())
        return *main;
    const QList<SymbolSet> sets = m_sets.quickAccessSets();
    if (!sets.isEmpty())
        return sets.first();
    return UnsavedSet::withCharacters(QString());
}

bool KeyboardState::isUnsavedSetActive() const {
    return activeSet().id == UnsavedSet::id;
}

void KeyboardState::toggleVisibility() {
    m_isKeyboardVisible = !m_isKeyboardVisible;
    Q_EMIT isKeyboardVisibleChanged(m_isKeyboardVisible);
    if (m_isKeyboardVisible)
        showPanel();
    else if (m_panel)
        m_panel->hidePanel();
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
    m_panel->showPanel();
}
