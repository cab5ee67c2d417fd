#include "settings/HotkeysTab.h"

#include "hotkeys/GlobalHotkeyManager.h"
#include "localization/LocalizationManager.h"
#include "settings/HotkeyRecorderView.h"
#include "settings/controls/InsetDivider.h"
#include "settings/controls/SubtleResetButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

HotkeysTab::HotkeysTab(LocalizationManager& localization, HotkeySettings& hotkeys,
                       GlobalHotkeyManager& manager, QWidget* parent)
    : QWidget(parent)
    , m_localization(localization)
    , m_hotkeys(hotkeys)
    , m_manager(manager)
    , m_reset(new SubtleResetButton(this)) {
    m_reset->setObjectName(QStringLiteral("hotkeysResetButton"));

    auto* group = new QVBoxLayout;
    group->setContentsMargins(20, 16, 20, 16);
    group->setSpacing(14);
    for (int i = 0; i < 4; ++i) {
        const KeyboardActionRow& action = KeyboardActions::rows()[i];
        m_titles[i] = new QLabel(this);
        m_recorders[i] = new HotkeyRecorderView(this);
        m_recorders[i]->setObjectName(QStringLiteral("hotkeyRecorder") + QLatin1String(action.printedName));
        m_titles[i]->setBuddy(m_recorders[i]);
        // The manager registers the new combination, or, while a field still
        // records, once recording has stopped. What cannot be kept is not shown as if it were.
        connect(m_recorders[i], &HotkeyRecorderView::recorded, this,
                [this, id = action.action](const Hotkey& hotkey) {
                    if (!m_hotkeys.setHotkey(id, hotkey))
                        showStoredValues();
                });
        connect(m_recorders[i], &HotkeyRecorderView::isRecordingChanged, this, &HotkeysTab::recordingChanged);

        if (i > 0)
            group->addWidget(new InsetDivider(20, this));
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(m_titles[i], 1, Qt::AlignVCenter | Qt::AlignLeft);
        row->addWidget(m_recorders[i], 0, Qt::AlignVCenter);
        group->addLayout(row);
    }

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 10);
    column->setSpacing(0);
    column->addLayout(group);
    if (m_manager.isCompositorBound()) {
        m_compositorNote = new QLabel(this);
        m_compositorNote->setObjectName(QStringLiteral("compositorBindings"));
        m_compositorNote->setWordWrap(true);
        m_compositorNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_compositorNote->setContentsMargins(20, 0, 20, 0);
        column->addWidget(m_compositorNote);
    }
    column->addStretch(1);
    column->addWidget(m_reset);

    connect(m_reset, &SubtleResetButton::clicked, &m_hotkeys, &HotkeySettings::resetToDefaults);
    connect(&m_hotkeys, &HotkeySettings::changed, this, &HotkeysTab::showStoredValues);

    retranslate();
}

HotkeysTab::~HotkeysTab() {
    // Never leave the desktop without its hotkeys because the window went away mid-recording.
    m_manager.resume();
}

void HotkeysTab::retranslate() {
    const QString placeholder = m_localization.localized(QStringLiteral("hotkey_record_placeholder"));
    for (int i = 0; i < 4; ++i) {
        m_titles[i]->setText(
            m_localization.localized(QString::fromLatin1(KeyboardActions::rows()[i].titleKey)));
        m_recorders[i]->setPlaceholder(placeholder);
        m_recorders[i]->setAccessibleDescription(m_titles[i]->text());
    }
    m_reset->setLabel(m_localization.localized(QStringLiteral("hotkeys_reset")));
    showStoredValues();
}

void HotkeysTab::showStoredValues() {
    for (int i = 0; i < 4; ++i)
        m_recorders[i]->setHotkey(m_hotkeys.hotkey(KeyboardActions::rows()[i].action));
    if (m_compositorNote)
        m_compositorNote->setText(m_localization.localized(QStringLiteral("hotkeys_compositor_note")) +
                                  u'\n' + m_manager.compositorBindings().join(u'\n'));
}

void HotkeysTab::recordingChanged() {
    bool anyRecording = false;
    for (const HotkeyRecorderView* recorder : m_recorders)
        anyRecording = anyRecording || recorder->isRecording();
    if (anyRecording)
        m_manager.suspend();
    else
        m_manager.resume();
}
