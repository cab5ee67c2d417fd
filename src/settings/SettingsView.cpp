#include "settings/SettingsView.h"

#include "localization/LocalizationManager.h"
#include "settings/GeneralTab.h"
#include "settings/HotkeysTab.h"
#include "settings/SetsTab.h"
#include "settings/controls/AppLogo.h"
#include "settings/controls/InsetDivider.h"
#include "settings/controls/SegmentedControl.h"

#include <QStackedWidget>
#include <QVBoxLayout>

SettingsView::SettingsView(LocalizationManager& localization, SetStore& sets, KeyboardState& keyboard,
                           HotkeySettings& hotkeys, GlobalHotkeyManager& hotkeyManager, TypingSetup* setup,
                           QWidget* parent)
    : QWidget(parent)
    , m_localization(localization)
    , m_tabSelector(new SegmentedControl(this))
    , m_stack(new QStackedWidget(this))
    , m_general(new GeneralTab(localization, keyboard, setup, m_stack))
    , m_sets(new SetsTab(localization, sets, keyboard, hotkeys, m_stack))
    , m_hotkeys(new HotkeysTab(localization, hotkeys, hotkeyManager, m_stack)) {
    setObjectName(QStringLiteral("settingsView"));
    m_tabSelector->setObjectName(QStringLiteral("tabSelector"));
    setWindowTitle(windowTitleText);
    setWindowRole(windowRoleName);
    setWindowIcon(AppLogo::icon());
    setFixedSize(480, 460);

    m_stack->addWidget(m_general);
    m_stack->addWidget(m_sets);
    m_stack->addWidget(m_hotkeys);

    auto* selectorRow = new QVBoxLayout;
    selectorRow->setContentsMargins(20, 16, 20, 12);
    selectorRow->addWidget(m_tabSelector);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(selectorRow);
    column->addWidget(new InsetDivider(0, this));
    column->addWidget(m_stack, 1);

    connect(m_tabSelector, &SegmentedControl::activated, this, &SettingsView::setSelectedTab);
    connect(&m_localization, &LocalizationManager::currentLanguageChanged, this, &SettingsView::retranslate);

    retranslate();
    setSelectedTab(0);
}

int SettingsView::selectedTab() const {
    return m_stack->currentIndex();
}

void SettingsView::setSelectedTab(int index) {
    if (index < 0 || index >= m_stack->count())
        return;
    m_tabSelector->setCurrentIndex(index);
    if (index == m_stack->currentIndex())
        return;
    m_stack->setCurrentIndex(index);
    Q_EMIT selectedTabChanged(index);
}

void SettingsView::retranslate() {
    m_tabSelector->setSegments({m_localization.localized(QStringLiteral("general_tab")),
                                m_localization.localized(QStringLiteral("palettes_tab")),
                                m_localization.localized(QStringLiteral("hotkeys_tab"))});
    m_general->retranslate();
    m_sets->retranslate();
    m_hotkeys->retranslate();
}
