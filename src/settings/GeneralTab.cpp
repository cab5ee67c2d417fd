#include "settings/GeneralTab.h"

// KeyboardState.h needs these complete.
#include "localization/LocalizationManager.h"
#include "sets/SetStore.h"

#include "keyboard/KeyboardState.h"
#include "platform/Log.h"
#include "settings/controls/InsetDivider.h"
#include "settings/controls/SegmentedControl.h"
#include "settings/controls/ToggleSwitch.h"
#include "settings/TypingSetupRow.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int controlWidth = 220;
const QString languageValues[] = {QStringLiteral("auto"), QStringLiteral("en"), QStringLiteral("ru")};
const char* const languageKeys[] = {"system_auto", "english", "russian"};

QHBoxLayout* settingsRow(QLabel* title, QWidget* control) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(title, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(control, 0, Qt::AlignVCenter | Qt::AlignRight);
    return row;
}

} // namespace

GeneralTab::GeneralTab(LocalizationManager& localization, KeyboardState& keyboard, TypingSetup* setup,
                       QWidget* parent)
    : QWidget(parent)
    , m_localization(localization)
    , m_keyboard(keyboard)
    , m_languageTitle(new QLabel(this))
    , m_sizeTitle(new QLabel(this))
    , m_separateTitle(new QLabel(this))
    , m_startAtLoginTitle(new QLabel(this))
    , m_language(new QComboBox(this))
    , m_size(new SegmentedControl(this))
    , m_separate(new ToggleSwitch(this))
    , m_startAtLogin(new ToggleSwitch(this)) {
    m_language->setObjectName(QStringLiteral("languageMenu"));
    m_size->setObjectName(QStringLiteral("keyboardSizeSelector"));
    m_separate->setObjectName(QStringLiteral("separateCustomSwitch"));
    m_startAtLogin->setObjectName(QStringLiteral("startAtLoginSwitch"));
    m_language->setFixedWidth(controlWidth);
    m_size->setFixedWidth(controlWidth);
    for (const QString& value : languageValues)
        m_language->addItem(QString(), value);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 12, 20, 12);
    column->setSpacing(14);
    column->addLayout(settingsRow(m_languageTitle, m_language));
    column->addWidget(new InsetDivider(20, this));
    column->addLayout(settingsRow(m_sizeTitle, m_size));
    column->addWidget(new InsetDivider(20, this));
    column->addLayout(settingsRow(m_separateTitle, m_separate));
    column->addWidget(new InsetDivider(20, this));
    column->addLayout(settingsRow(m_startAtLoginTitle, m_startAtLogin));
    if (setup) {
        m_setup = new TypingSetupRow(localization, *setup, this);
        column->addWidget(new InsetDivider(20, this));
        column->addWidget(m_setup);
    }
    column->addStretch(1);

    // Writing happens on the next turn of the event loop, never inside the
    // control's own signal: the managers' change notifications then redraw
    // this tab (and the keyboard) from a clean state.
    connect(m_language, &QComboBox::activated, this, [this](int index) {
        const QString value = m_language->itemData(index).toString();
        QTimer::singleShot(0, this, [this, value] { m_localization.setAppLanguage(value); });
    });
    connect(m_size, &SegmentedControl::activated, this, [this](int index) {
        const KeyboardSize size = index == 1 ? KeyboardSize::Full : KeyboardSize::Compact;
        QTimer::singleShot(0, this, [this, size] { m_keyboard.setKeyboardSize(size); });
    });
    connect(m_separate, &ToggleSwitch::clicked, this, [this](bool checked) {
        QTimer::singleShot(0, this, [this, checked] { m_keyboard.setSeparateCustomSymbols(checked); });
    });
    connect(m_startAtLogin, &ToggleSwitch::clicked, this, [this](bool checked) {
        QTimer::singleShot(0, this, [this, checked] { setStartAtLogin(checked); });
    });

    connect(&m_localization, &LocalizationManager::appLanguageChanged, this, &GeneralTab::showStoredValues);
    connect(&m_keyboard, &KeyboardState::keyboardSizeChanged, this, &GeneralTab::showStoredValues);
    connect(&m_keyboard, &KeyboardState::separateCustomSymbolsChanged, this, &GeneralTab::showStoredValues);

    retranslate();
    showStoredValues();
}

void GeneralTab::retranslate() {
    m_languageTitle->setText(m_localization.localized(QStringLiteral("language")));
    m_sizeTitle->setText(m_localization.localized(QStringLiteral("keyboard_size")));
    m_separateTitle->setText(m_localization.localized(QStringLiteral("separate_custom")));
    for (int i = 0; i < m_language->count(); ++i)
        m_language->setItemText(i, m_localization.localized(QString::fromLatin1(languageKeys[i])));
    m_size->setSegments({m_localization.localized(QStringLiteral("compact")),
                         m_localization.localized(QStringLiteral("full"))});
    m_startAtLoginTitle->setText(m_localization.localized(QStringLiteral("start_at_login")));
    m_separate->setAccessibleName(m_separateTitle->text());
    m_startAtLogin->setAccessibleName(m_startAtLoginTitle->text());
    m_language->setAccessibleName(m_languageTitle->text());
    m_size->setAccessibleName(m_sizeTitle->text());
    if (m_setup)
        m_setup->retranslate();
}

void GeneralTab::showStoredValues() {
    // A stored value other than the three (say "kk") selects no entry rather than a wrong one.
    m_language->setCurrentIndex(m_language->findData(m_localization.appLanguage()));
    m_size->setCurrentIndex(m_keyboard.keyboardSize() == KeyboardSize::Full ? 1 : 0);
    m_separate->setChecked(m_keyboard.separateCustomSymbols());
    m_startAtLogin->setChecked(m_autostart.isEnabled());
}

void GeneralTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showStoredValues(); // the autostart file may have been removed by hand meanwhile
}

void GeneralTab::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        showStoredValues();
}

void GeneralTab::setStartAtLogin(bool on) {
    QString error;
    const bool done = on ? m_autostart.enable(AutostartEntry::runningProgram(), &error)
                         : m_autostart.disable(&error);
    if (!done)
        Log::line(QStringLiteral("[GeneralTab] Start at login is still %1: %2")
                      .arg(on ? QStringLiteral("off") : QStringLiteral("on"), error));
    showStoredValues();
}
