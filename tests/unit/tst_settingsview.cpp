#include "FakeModifierMonitor.h"
#include "RecordingHotkeyService.h"
#include "hotkeys/GlobalHotkeyManager.h"
#include "hotkeys/HotkeySettings.h"
#include "hotkeys/KeyTable.h"
#include "keyboard/KeyboardPanel.h"
#include "localization/LocalizationManager.h"
#include "palettes/PaletteManager.h"
#include "palettes/PresetCatalogue.h"
#include "settings/CustomRowButton.h"
#include "settings/GeneralTab.h"
#include "settings/HotkeyRecorderView.h"
#include "settings/HotkeysTab.h"
#include "settings/IconButton.h"
#include "settings/NameBlock.h"
#include "settings/SegmentedControl.h"
#include "settings/SetRow.h"
#include "settings/SetsTab.h"
#include "settings/SettingsView.h"
#include "settings/SubtleResetButton.h"
#include "settings/ToggleSwitch.h"
#include "storage/SettingsStore.h"
#include "updates/UpdateManager.h"

#include "keyboard/KeyboardState.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

class NullPanel : public KeyboardPanel {
public:
    void orderFront() override {}
    void orderOut() override {}
    bool allowFocus() const override { return false; }
    void setAllowFocus(bool) override {}
    void makeKeyWindow() override {}
    void setMovableByBackground(bool) override {}
};

constexpr quint32 optionShift = CarbonModifier::Option | CarbonModifier::Shift;
using Grab = RecordingHotkeyService::Grab;

// The managers as the application builds them, on recording fakes.
struct Managers {
    explicit Managers(const QString& file)
        : store(file) {
        keyboard.setPanelFactory([] { return std::make_unique<NullPanel>(); });
        hotkeyManager.onHotkeyActivated = [this](const QString& identifier) {
            QMetaObject::invokeMethod(
                &keyboard, [this, identifier] { keyboard.handleHotkey(identifier); }, Qt::QueuedConnection);
        };
        hotkeyManager.registerFromSettings();
        keyboard.configure(palettes, localization);
    }
    SettingsStore store;
    RecordingHotkeyService hotkeyService;
    FakeModifierMonitor shift;
    LocalizationManager localization{store, QStringLiteral("en")};
    PaletteManager palettes{store, QStringLiteral("en")};
    KeyboardState keyboard{store, shift};
    HotkeySettings hotkeys{store};
    GlobalHotkeyManager hotkeyManager{hotkeyService, hotkeys};
};

// The registered combinations in their stored form (macOS key code, Carbon mask).
QList<QPair<quint32, quint32>> activeCombinations(const RecordingHotkeyService& service) {
    QList<QPair<quint32, quint32>> result;
    for (const Grab& grab : service.active) {
        quint32 carbon = 0;
        for (quint32 bit : {256u, 512u, 2048u, 4096u})
            carbon |= KeyTable::fromCarbon(bit) & grab.modifiers ? bit : 0;
        result.append({KeyTable::fromEvdev(grab.key).value_or(0xffff), carbon});
    }
    return result;
}

bool pressStored(RecordingHotkeyService& service, quint32 keyCode, quint32 modifiers) {
    return service.press(KeyTable::toEvdev(keyCode).value_or(0xffff), KeyTable::fromCarbon(modifiers));
}

QStringList labelTexts(const QWidget* root) {
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        texts.append(label->text());
    return texts;
}

void click(QWidget* widget, QPoint position = {}) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, position.isNull() ? widget->rect().center() : position);
}

} // namespace

class SettingsViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void windowShape();
    void generalTabWritesAfterTheEvent_data();
    void generalTabWritesAfterTheEvent();
    void choosingRussianRetitlesEverythingAtOnce();
    void quickAccessRules();
    void clickingAdditionalSetNameMakesItMainAndActive();
    void deleteConfirmation_data();
    void deleteConfirmation();
    void deletingEverySetLeavesTheCustomRow();
    void customRowOpensAnEmptySet();
    void longListMakesOnlyTheRowsInViewAndTabWalksOn();
    void factoryResetRestoresPresetsAndHotkeys();
    void recordedHotkeyIsSavedAndReregistered();
    void escapeClearsAHotkeyUntilReset();
    void recordingReleasesTheGlobalHotkeys();
    void resetControlReactsOnlyOverItsText();

private:
    SetRow* rowNamed(const QString& key) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Managers> m_managers;
    std::unique_ptr<SettingsView> m_view;
};

void SettingsViewTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_managers = std::make_unique<Managers>(m_dir->filePath(QStringLiteral("runeboard.conf")));
    m_view =
        std::make_unique<SettingsView>(m_managers->localization, m_managers->palettes, m_managers->keyboard,
                                       m_managers->hotkeys, m_managers->hotkeyManager);
    m_view->show();
    QApplication::setActiveWindow(m_view.get());
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
}

void SettingsViewTest::cleanup() {
    m_view.reset();
    m_managers.reset();
    m_dir.reset();
}

SetRow* SettingsViewTest::rowNamed(const QString& key) const {
    for (int i = 0; i < m_view->setsTab()->rowCount(); ++i) {
        if (SetRow* row = m_view->setsTab()->row(i); row->set().name == key)
            return row;
    }
    return nullptr;
}

void SettingsViewTest::windowShape() {
    QCOMPARE(m_view->size(), QSize(480, 460));
    QCOMPARE(m_view->windowTitle(), QStringLiteral("Runeboard Settings"));
    QCOMPARE(m_view->tabSelector()->segments(),
             (QStringList{QStringLiteral("General"), QStringLiteral("Sets"), QStringLiteral("Hotkeys")}));
    QCOMPARE(m_view->selectedTab(), 0);
    click(m_view->tabSelector(), m_view->tabSelector()->segmentRect(2).center());
    QCOMPARE(m_view->selectedTab(), 2);
    QVERIFY(m_view->hotkeysTab()->isVisible());
}

void SettingsViewTest::generalTabWritesAfterTheEvent_data() {
    QTest::addColumn<int>("control");
    QTest::newRow("language menu") << 0;
    QTest::newRow("keyboard size") << 1;
    QTest::newRow("custom-symbol switch") << 2;
}

void SettingsViewTest::generalTabWritesAfterTheEvent() {
    QFETCH(int, control);
    GeneralTab* tab = m_view->generalTab();
    LocalizationManager& localization = m_managers->localization;
    KeyboardState& keyboard = m_managers->keyboard;
    auto written = [&] {
        switch (control) {
        case 0:
            return localization.appLanguage() == QLatin1String("ru") &&
                   localization.currentLanguage() == QLatin1String("ru");
        case 1:
            return keyboard.keyboardSize() == KeyboardSize::Full;
        default:
            return !keyboard.separateCustomSymbols();
        }
    };
    QVERIFY(!written());

    switch (control) {
    case 0:
        tab->languageMenu()->setFocus();
        QTest::keyClick(tab->languageMenu(), Qt::Key_End); // the last entry, Russian
        break;
    case 1:
        click(tab->sizeSelector(), tab->sizeSelector()->segmentRect(1).center());
        break;
    default:
        click(tab->customSymbolsSwitch());
        break;
    }
    QVERIFY2(!written(), "written while the control's event was handled");
    QTRY_VERIFY(written());
    // And the control shows what is stored.
    QCOMPARE(tab->languageMenu()->currentIndex(), control == 0 ? 2 : 0);
    QCOMPARE(tab->sizeSelector()->currentIndex(), control == 1 ? 1 : 0);
    QCOMPARE(tab->customSymbolsSwitch()->isChecked(), control != 2);
}

void SettingsViewTest::choosingRussianRetitlesEverythingAtOnce() {
    QComboBox* menu = m_view->generalTab()->languageMenu();
    menu->setFocus();
    QTest::keyClick(menu, Qt::Key_End);
    QTRY_COMPARE(m_managers->localization.currentLanguage(), QStringLiteral("ru"));

    QCOMPARE(m_view->tabSelector()->segments(),
             (QStringList{QStringLiteral("Основные"), QStringLiteral("Наборы"),
                          QStringLiteral("Горячие клавиши")}));
    QCOMPARE(menu->currentText(), QStringLiteral("Русский"));
    QCOMPARE(menu->itemText(0), QStringLiteral("Системный (Авто)"));
    const QStringList general = labelTexts(m_view->generalTab());
    QVERIFY(general.contains(QStringLiteral("Язык интерфейса")));
    QVERIFY(general.contains(QStringLiteral("Размер клавиатуры")));
    QVERIFY(general.contains(QStringLiteral("Разделять пользовательские символы")));
    QCOMPARE(m_view->generalTab()->sizeSelector()->segments(),
             (QStringList{QStringLiteral("Компактный"), QStringLiteral("Стандартный")}));

    QCOMPARE(rowNamed(QStringLiteral("preset_german"))->nameBlock()->name(), QStringLiteral("Немецкий"));
    QCOMPARE(rowNamed(QStringLiteral("preset_german"))->mainMarker()->toolTip(),
             QStringLiteral("Сделать основным"));
    QCOMPARE(m_view->setsTab()->factoryResetButton()->label(),
             QStringLiteral("Сбросить к заводским настройкам"));
    QCOMPARE(m_view->setsTab()->customRow()->text(), QStringLiteral("Custom"));

    QVERIFY(labelTexts(m_view->hotkeysTab()).contains(QStringLiteral("Показать/скрыть клавиатуру")));
    QCOMPARE(m_view->hotkeysTab()->resetButton()->label(), QStringLiteral("Сбросить горячие клавиши"));
    HotkeyRecorderView* recorder = m_view->hotkeysTab()->recorder(HotkeySettings::Role::SwitchPalette1);
    QCOMPARE(recorder->placeholder(), QStringLiteral("Нажмите..."));
}

void SettingsViewTest::quickAccessRules() {
    SetsTab* tab = m_view->setsTab();
    // The main set's button keeps its place but does nothing.
    IconButton* mainButton = tab->row(0)->quickAccessButton();
    QVERIFY(tab->row(0)->set().isMain);
    QVERIFY(!mainButton->isEnabled());
    QCOMPARE(mainButton->symbolColor().alpha(), 0);
    QVERIFY(mainButton->width() > 0);
    const QList<SymbolPalette> before = m_managers->palettes.palettes();
    click(mainButton);
    QCOMPARE(m_managers->palettes.palettes(), before);

    click(tab->row(1)->quickAccessButton());
    click(tab->row(2)->quickAccessButton());
    QCOMPARE(m_managers->palettes.additionalPalettes().size(), 2);
    QCOMPARE(tab->row(1)->quickAccessButton()->symbol(), SymbolIcon::Kind::PlusCircleFill);
    // A third is refused.
    click(tab->row(3)->quickAccessButton());
    QVERIFY(!m_managers->palettes.palettes().at(3).isAdditional);
    QCOMPARE(tab->row(3)->quickAccessButton()->symbol(), SymbolIcon::Kind::PlusCircle);
    QVERIFY(tab->row(3)->quickAccessButton()->symbolColor().alpha() > 0);
    // Taking one away is never refused.
    click(tab->row(1)->quickAccessButton());
    QCOMPARE(m_managers->palettes.additionalPalettes().size(), 1);
}

void SettingsViewTest::clickingAdditionalSetNameMakesItMainAndActive() {
    SetsTab* tab = m_view->setsTab();
    click(tab->row(4)->quickAccessButton());
    QVERIFY(tab->row(4)->set().isAdditional);
    const QUuid id = tab->row(4)->set().id;

    click(tab->row(4)->nameBlock());
    QVERIFY(tab->row(4)->set().isMain);
    QVERIFY(!tab->row(4)->set().isAdditional);
    QCOMPARE(tab->row(4)->mainMarker()->symbol(), SymbolIcon::Kind::CheckmarkCircleFill);
    QCOMPARE(tab->row(4)->quickAccessButton()->symbolColor().alpha(), 0);
    QCOMPARE(tab->row(0)->mainMarker()->symbol(), SymbolIcon::Kind::Circle);
    QVERIFY(tab->row(0)->quickAccessButton()->isEnabled());
    QCOMPARE(m_managers->keyboard.activePaletteID(), SymbolPalette::idText(id));
    QCOMPARE(m_managers->keyboard.activePalette().id, id);

    // The marker does the same.
    click(tab->row(7)->mainMarker());
    QCOMPARE(m_managers->palettes.mainPalette()->id, tab->row(7)->set().id);
    QCOMPARE(m_managers->keyboard.activePaletteID(), tab->row(7)->set().idText());
}

void SettingsViewTest::deleteConfirmation_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("delete") << 0;
    QTest::newRow("cancel") << 1;
    QTest::newRow("escape") << 2;
}

void SettingsViewTest::deleteConfirmation() {
    QFETCH(int, answer);
    SetsTab* tab = m_view->setsTab();
    const QString activeBefore = m_managers->keyboard.activePaletteID();
    SetRow* main = tab->row(0);
    const SymbolPalette set = main->set();
    QVERIFY(set.isMain);

    click(main->deleteButton());
    QCOMPARE(tab->paletteToDelete(), std::optional<SymbolPalette>(set));
    QMessageBox* box = tab->deleteConfirmation();
    QVERIFY(box);
    QTRY_VERIFY(box->isVisible());
    QPushButton* remove = box->findChild<QPushButton*>(QStringLiteral("confirmDelete"));
    QPushButton* cancel = box->findChild<QPushButton*>(QStringLiteral("cancelDelete"));

    if (answer == 0)
        click(remove);
    else if (answer == 1)
        click(cancel);
    else
        QTest::keyClick(box, Qt::Key_Escape);

    QTRY_VERIFY(!tab->paletteToDelete());
    QTRY_VERIFY(!tab->deleteConfirmation());
    if (answer == 0) {
        QCOMPARE(m_managers->palettes.palettes().size(), 15);
        QVERIFY(!m_managers->palettes.palette(set.id));
        for (int i = 0; i < 15; ++i)
            QCOMPARE(tab->row(i)->mainMarker()->symbol(), SymbolIcon::Kind::Circle);
    } else {
        QCOMPARE(m_managers->palettes.palettes().size(), 16);
        QVERIFY(m_managers->palettes.palette(set.id));
    }
    QCOMPARE(m_managers->keyboard.activePaletteID(), activeBefore);
}

void SettingsViewTest::deletingEverySetLeavesTheCustomRow() {
    m_view->setSelectedTab(1);
    SetsTab* tab = m_view->setsTab();
    while (tab->rowCount() > 0) {
        click(tab->row(0)->deleteButton());
        QMessageBox* box = tab->deleteConfirmation();
        QVERIFY(box);
        click(box->findChild<QPushButton*>(QStringLiteral("confirmDelete")));
        QTRY_VERIFY(!tab->deleteConfirmation());
    }
    QVERIFY(m_managers->palettes.palettes().isEmpty());
    QVERIFY(tab->customRow()->isVisible());
    // The empty list is what is stored.
    PaletteManager reloaded(m_managers->store, QStringLiteral("en"));
    QVERIFY(reloaded.palettes().isEmpty());
}

void SettingsViewTest::customRowOpensAnEmptySet() {
    KeyboardState& keyboard = m_managers->keyboard;
    QTRY_VERIFY(keyboard.isKeyboardVisible()); // the launch step shows it
    keyboard.toggleVisibility();
    keyboard.setTemporaryCustomCharacters(QStringLiteral("ab"));
    m_view->setSelectedTab(1);

    click(m_view->setsTab()->customRow());
    QCOMPARE(keyboard.activePaletteID(), KeyboardState::customEmptyID);
    QCOMPARE(keyboard.temporaryCustomCharacters(), QString());
    QVERIFY(keyboard.isKeyboardVisible());
}

void SettingsViewTest::longListMakesOnlyTheRowsInViewAndTabWalksOn() {
    QList<SymbolPalette> sets(2000);
    for (qsizetype i = 0; i < sets.size(); ++i)
        sets[i].name = QString::number(i);
    m_managers->palettes.setPalettes(sets);
    m_view->setSelectedTab(1);
    QVERIFY(m_view->setsTab()->findChildren<SetRow*>().size() < 30);
    m_view->setsTab()->row(1500)->deleteButton()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // to a row out of view, scrolled in
    QCOMPARE(qobject_cast<SetRow*>(QApplication::focusWidget()->parentWidget())->set().name,
             QStringLiteral("1501"));
}

void SettingsViewTest::factoryResetRestoresPresetsAndHotkeys() {
    Managers& m = *m_managers;
    SymbolPalette mine;
    mine.id = QUuid::createUuid();
    mine.name = QStringLiteral("Mine");
    mine.customCharacters = QStringLiteral("x") + customSymbolSeparator + QStringLiteral("y");
    m.palettes.addPalette(mine);
    m.palettes.deletePalette(m.palettes.palettes().at(3).id);
    m.palettes.toggleAdditional(m.palettes.palettes().at(5).id);
    m.keyboard.setKeyboardSize(KeyboardSize::Full);
    QCOMPARE(rowNamed(QStringLiteral("Mine"))->nameBlock()->characters(), mine.customCharacters);

    m.hotkeys.setToggleKeyboard({0, 0});
    m.hotkeys.setSwitchPalette2({98, CarbonModifier::Control});
    QCOMPARE(m.hotkeyService.active.size(), 3);

    m_view->setSelectedTab(1);
    SubtleResetButton* reset = m_view->setsTab()->factoryResetButton();
    click(reset, reset->textRect().center());

    QCOMPARE(m.palettes.palettes().size(), presetCatalogue().size());
    for (int i = 0; i < int(presetCatalogue().size()); ++i)
        QCOMPARE(m_view->setsTab()->row(i)->set().name, presetCatalogue().at(i).name);
    QCOMPARE(m.palettes.mainPalette()->name, QStringLiteral("preset_kazakh_cyr"));
    QVERIFY(m.palettes.additionalPalettes().isEmpty());

    for (int role = 0; role < 4; ++role) {
        const auto r = static_cast<HotkeySettings::Role>(role);
        QCOMPARE(m.hotkeys.config(r), HotkeySettings::defaultConfig(r));
        QCOMPARE(m_view->hotkeysTab()->recorder(r)->config(), HotkeySettings::defaultConfig(r));
    }
    QCOMPARE(activeCombinations(m.hotkeyService),
             (QList<QPair<quint32, quint32>>{
                 {40, optionShift}, {18, optionShift}, {19, optionShift}, {20, optionShift}}));
    // What the reset leaves alone.
    QCOMPARE(m.keyboard.keyboardSize(), KeyboardSize::Full);
    QCOMPARE(m.localization.appLanguage(), QStringLiteral("auto"));
}

void SettingsViewTest::recordedHotkeyIsSavedAndReregistered() {
    Managers& m = *m_managers;
    m_view->setSelectedTab(2);
    HotkeyRecorderView* recorder = m_view->hotkeysTab()->recorder(HotkeySettings::Role::SwitchPalette2);
    QCOMPARE(recorder->shownText(), QStringLiteral("⌥⇧2"));

    click(recorder);
    QVERIFY(recorder->isRecording());
    // Control+Alt+F7 (X keycode 73).
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F7, Qt::ControlModifier | Qt::AltModifier, 73, 0, 0);
    QApplication::sendEvent(recorder, &press);
    QCOMPARE(m.hotkeys.switchPalette2(), HotkeySettings::defaultConfig(HotkeySettings::Role::SwitchPalette2));

    const HotkeyConfig recorded{98, CarbonModifier::Control | CarbonModifier::Option};
    QTRY_COMPARE(m.hotkeys.switchPalette2(), recorded);
    QCOMPARE(HotkeySettings(m.store).switchPalette2(), recorded);
    QCOMPARE(recorder->shownText(), QStringLiteral("⌃⌥F7"));
    QVERIFY(activeCombinations(m.hotkeyService).contains(qMakePair(recorded.keyCode, recorded.modifiers)));
    QVERIFY(!activeCombinations(m.hotkeyService).contains(qMakePair(19u, optionShift)));

    // Only the new combination switches to the first additional set.
    m.palettes.toggleAdditional(m.palettes.palettes().at(6).id);
    QVERIFY(!pressStored(m.hotkeyService, 19, optionShift));
    QVERIFY(pressStored(m.hotkeyService, recorded.keyCode, recorded.modifiers));
    QTRY_COMPARE(m.keyboard.activePaletteID(), m.palettes.palettes().at(6).idText());
}

void SettingsViewTest::escapeClearsAHotkeyUntilReset() {
    Managers& m = *m_managers;
    m_view->setSelectedTab(2);
    HotkeyRecorderView* recorder = m_view->hotkeysTab()->recorder(HotkeySettings::Role::ToggleKeyboard);
    click(recorder);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, 9, 0, 0);
    QApplication::sendEvent(recorder, &escape);
    QTRY_COMPARE(m.hotkeys.toggleKeyboard(), HotkeyConfig{});
    QCOMPARE(recorder->shownText(), QStringLiteral("—"));
    QVERIFY(!activeCombinations(m.hotkeyService).contains(qMakePair(40u, optionShift)));
    QCOMPARE(m.hotkeyService.active.size(), 3);

    SubtleResetButton* reset = m_view->hotkeysTab()->resetButton();
    click(reset, reset->textRect().center());
    QCOMPARE(recorder->shownText(), QStringLiteral("⌥⇧K"));
    QCOMPARE(m.hotkeyService.active.size(), 4);
    QVERIFY(pressStored(m.hotkeyService, 40, optionShift));
}

void SettingsViewTest::recordingReleasesTheGlobalHotkeys() {
    Managers& m = *m_managers;
    m_view->setSelectedTab(2);
    QCOMPARE(m.hotkeyService.active.size(), 4);
    HotkeyRecorderView* recorder = m_view->hotkeysTab()->recorder(HotkeySettings::Role::SwitchPalette3);
    click(recorder);
    QVERIFY(m.hotkeyService.active.isEmpty());
    click(recorder); // cancelled
    QCOMPARE(m.hotkeyService.active.size(), 4);
    click(recorder);
    m_view->setSelectedTab(0); // the field goes away while recording
    QVERIFY(!recorder->isRecording());
    QCOMPARE(m.hotkeyService.active.size(), 4);
}

void SettingsViewTest::resetControlReactsOnlyOverItsText() {
    m_view->setSelectedTab(2);
    Managers& m = *m_managers;
    m.hotkeys.setToggleKeyboard({});
    SubtleResetButton* reset = m_view->hotkeysTab()->resetButton();
    const QRect text = reset->textRect();
    QVERIFY(text.width() < reset->width() - 40);
    const QPoint beside(text.left() - 15, text.center().y());

    QTest::mouseMove(reset, beside);
    QTRY_VERIFY(!reset->isHovered());
    QVERIFY(!reset->testAttribute(Qt::WA_SetCursor));
    click(reset, beside);
    QCOMPARE(m.hotkeys.toggleKeyboard(), HotkeyConfig{});

    QTest::mouseMove(reset, text.center());
    QTRY_VERIFY(reset->isHovered());
    QCOMPARE(reset->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(reset, beside);
    QTRY_VERIFY(!reset->isHovered());
    QCOMPARE(reset->cursor().shape(), Qt::ArrowCursor);

    click(reset, text.center());
    QCOMPARE(m.hotkeys.toggleKeyboard(), HotkeySettings::defaultConfig(HotkeySettings::Role::ToggleKeyboard));
}

QTEST_MAIN(SettingsViewTest)
#include "tst_settingsview.moc"
