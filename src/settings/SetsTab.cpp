#include "settings/SetsTab.h"

// KeyboardState.h needs these complete.
#include "localization/LocalizationManager.h"
#include "sets/SetStore.h"

#include "hotkeys/HotkeySettings.h"
#include "keyboard/KeyboardState.h"
#include "sets/UnsavedSet.h"
#include "settings/CustomRowButton.h"
#include "settings/SetFileButtons.h"
#include "settings/SetList.h"
#include "settings/controls/SubtleResetButton.h"

#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int sideMargin = 16;
} // namespace

SetsTab::SetsTab(LocalizationManager& localization, SetStore& sets, KeyboardState& keyboard,
                 HotkeySettings& hotkeys, QWidget* parent)
    : QWidget(parent)
    , m_localization(localization)
    , m_sets(sets)
    , m_keyboard(keyboard)
    , m_hotkeys(hotkeys)
    , m_list(new SetList(sets, localization, this))
    , m_reset(new SubtleResetButton)
    , m_files(new SetFileButtons(sets, localization, this)) {
    m_list->setObjectName(QStringLiteral("setsList"));
    m_reset->setObjectName(QStringLiteral("factoryResetButton"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(sideMargin, 10, sideMargin, 10);
    column->setSpacing(0);
    column->addWidget(m_list, 1);
    column->addSpacing(8);
    column->addWidget(m_files);
    column->addSpacing(4);
    column->addWidget(m_reset);

    connect(m_list->customRow(), &CustomRowButton::clicked, this, &SetsTab::openCustomSet);
    connect(m_list, &SetList::makeMainRequested, this, &SetsTab::makeMain);
    connect(m_list, &SetList::toggleQuickAccessRequested, this,
            [this](const QUuid& id) { m_sets.toggleAdditional(id); });
    connect(m_list, &SetList::deleteRequested, this, &SetsTab::askToDelete);
    connect(m_reset, &SubtleResetButton::clicked, this, &SetsTab::restoreFactoryDefaults);
    // The rows are reused, never rebuilt: the store publishes while a row's own button is still handling its
    // click.
    connect(&m_sets, &SetStore::setsChanged, m_list, &SetList::refresh);

    retranslate();
}

void SetsTab::retranslate() {
    m_reset->setLabel(m_localization.localized(QStringLiteral("factory_reset")));
    m_files->retranslate();
    m_list->refresh();
    if (m_confirmation) {
        const QString question = m_localization.localized(QStringLiteral("delete_palette_confirm"));
        m_confirmation->setWindowTitle(question);
        m_confirmation->setText(question);
        const auto buttons = m_confirmation->buttons();
        for (QAbstractButton* button : buttons) {
            const bool destructive = m_confirmation->buttonRole(button) == QMessageBox::DestructiveRole;
            button->setText(
                m_localization.localized(destructive ? QStringLiteral("delete") : QStringLiteral("cancel")));
        }
    }
}

CustomRowButton* SetsTab::customRow() const {
    return m_list->customRow();
}

int SetsTab::rowCount() const {
    return m_list->rowCount();
}

SetRow* SetsTab::row(int index) const {
    return m_list->row(index);
}

void SetsTab::openCustomSet() {
    m_keyboard.setActiveSetId(UnsavedSet::startedEmpty);
    m_keyboard.setTemporaryCustomCharacters(QString());
    if (!m_keyboard.isKeyboardVisible())
        m_keyboard.toggleVisibility();
}

void SetsTab::makeMain(const QUuid& id) {
    m_sets.setMainSet(id);
    m_keyboard.setActiveSetId(SymbolSet::idText(id));
}

void SetsTab::askToDelete(const SymbolSet& set) {
    if (m_confirmation)
        return;
    m_setToDelete = set;
    const QString question = m_localization.localized(QStringLiteral("delete_palette_confirm"));
    auto* box = new QMessageBox(this);
    box->setObjectName(QStringLiteral("deleteConfirmation"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Question);
    box->setWindowTitle(question);
    box->setText(question);
    QPushButton* cancel =
        box->addButton(m_localization.localized(QStringLiteral("cancel")), QMessageBox::RejectRole);
    QPushButton* remove =
        box->addButton(m_localization.localized(QStringLiteral("delete")), QMessageBox::DestructiveRole);
    remove->setObjectName(QStringLiteral("confirmDelete"));
    cancel->setObjectName(QStringLiteral("cancelDelete"));
    // Nothing is lost by a stray Return or Escape: both mean "keep it".
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::finished, this,
            [this, box, remove] { answerDeletion(box->clickedButton() == remove); });
    m_confirmation = box;
    box->open();
}

void SetsTab::answerDeletion(bool confirmed) {
    const std::optional<SymbolSet> set = std::exchange(m_setToDelete, std::nullopt);
    m_confirmation = nullptr;
    if (confirmed && set)
        m_sets.deleteSet(set->id);
}

void SetsTab::restoreFactoryDefaults() {
    m_sets.restoreFactoryDefaults();
    // The hotkey manager follows the settings and registers the defaults again.
    m_hotkeys.resetToDefaults();
}
