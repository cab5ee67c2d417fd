#include "settings/SetsTab.h"

// KeyboardState.h needs these complete.
#include "localization/LocalizationManager.h"
#include "palettes/PaletteManager.h"

#include "hotkeys/HotkeySettings.h"
#include "keyboard/KeyboardState.h"
#include "settings/CustomRowButton.h"
#include "settings/InsetListCard.h"
#include "settings/SetRow.h"
#include "settings/SubtleResetButton.h"

#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
constexpr int sideMargin = 16;
constexpr int cardPadding = 12;
} // namespace

SetsTab::SetsTab(LocalizationManager& localization, PaletteManager& palettes, KeyboardState& keyboard,
                 HotkeySettings& hotkeys, QWidget* parent)
    : QWidget(parent)
    , m_localization(localization)
    , m_palettes(palettes)
    , m_keyboard(keyboard)
    , m_hotkeys(hotkeys)
    , m_customRow(new CustomRowButton)
    , m_reset(new SubtleResetButton) {
    m_customRow->setObjectName(QStringLiteral("customRow"));
    m_reset->setObjectName(QStringLiteral("factoryResetButton"));

    auto* card = new InsetListCard;
    m_listLayout = new QVBoxLayout(card);
    m_listLayout->setContentsMargins(cardPadding, 2, cardPadding, 2);
    m_listLayout->setSpacing(0);
    m_listLayout->addWidget(m_customRow);
    m_listLayout->addStretch(1);

    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("setsList"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setWidget(card);
    scroller->viewport()->setAutoFillBackground(false);
    card->setAutoFillBackground(false);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(sideMargin, 10, sideMargin, 10);
    column->setSpacing(0);
    column->addWidget(scroller, 1);
    column->addSpacing(8);
    column->addWidget(m_reset);

    connect(m_customRow, &CustomRowButton::clicked, this, &SetsTab::openCustomSet);
    connect(m_reset, &SubtleResetButton::clicked, this, &SetsTab::restoreFactoryDefaults);
    connect(&m_palettes, &PaletteManager::palettesChanged, this, &SetsTab::showSets);

    retranslate();
}

void SetsTab::retranslate() {
    m_reset->setLabel(m_localization.localized(QStringLiteral("factory_reset")));
    showSets();
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

void SetsTab::showSets() {
    // Rows are reused in place rather than rebuilt: the store publishes while
    // a row's own button is still handling its click.
    const QList<SymbolPalette>& sets = m_palettes.palettes();
    while (m_rows.size() < sets.size()) {
        auto* row = new SetRow;
        connect(row, &SetRow::makeMainRequested, this, &SetsTab::makeMain);
        connect(row, &SetRow::toggleQuickAccessRequested, this,
                [this](const QUuid& id) { m_palettes.toggleAdditional(id); });
        connect(row, &SetRow::deleteRequested, this, &SetsTab::askToDelete);
        // After the Custom row and the rows before it; the stretch stays last.
        m_listLayout->insertWidget(1 + int(m_rows.size()), row);
        m_rows.append(row);
    }
    while (m_rows.size() > sets.size()) {
        SetRow* row = m_rows.takeLast();
        m_listLayout->removeWidget(row);
        row->hide();
        row->deleteLater();
    }
    for (qsizetype i = 0; i < sets.size(); ++i)
        m_rows.at(i)->showSet(sets.at(i), m_localization);
}

void SetsTab::openCustomSet() {
    m_keyboard.setActivePaletteID(KeyboardState::customEmptyID);
    m_keyboard.setTemporaryCustomCharacters(QString());
    if (!m_keyboard.isKeyboardVisible())
        m_keyboard.toggleVisibility();
}

void SetsTab::makeMain(const QUuid& id) {
    m_palettes.setMainPalette(id);
    m_keyboard.setActivePaletteID(SymbolPalette::idText(id));
}

void SetsTab::askToDelete(const SymbolPalette& set) {
    if (m_confirmation)
        return;
    m_paletteToDelete = set;
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
    const std::optional<SymbolPalette> set = std::exchange(m_paletteToDelete, std::nullopt);
    m_confirmation = nullptr;
    if (confirmed && set)
        m_palettes.deletePalette(set->id);
}

void SetsTab::restoreFactoryDefaults() {
    m_palettes.restoreFactoryDefaults();
    // The hotkey manager follows the settings and registers the defaults again.
    m_hotkeys.resetToDefaults();
}
