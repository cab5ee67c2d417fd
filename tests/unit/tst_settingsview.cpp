#include "FakeModifierMonitor.h"
#include "RecordingHotkeyService.h"
#include "StdoutCapture.h"
#include "hotkeys/GlobalHotkeyManager.h"
#include "hotkeys/HotkeySettings.h"
#include "hotkeys/KeyTable.h"
#include "keyboard/KeyboardPanel.h"
#include "localization/LocalizationManager.h"
#include "palettes/PaletteManager.h"
#include "palettes/PresetCatalogue.h"
#include "platform/AutostartEntry.h"
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
#include <QProcess>
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

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
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
    void generalTabWritesAfterTheEvent_data();
    void generalTabWritesAfterTheEvent();
    void startAtLoginShowsTheFileAsItIs();
    void choosingRussianRetitlesEverythingAtOnce();
    void quickAccessRules();
    void clickingAdditionalSetNameMakesItMainAndActive();
    void deleteConfirmation_data();
    void deleteConfirmation();
    void deletingEverySetLeavesTheCustomRow();
    void customRowOpensAnEmptySet();
    void factoryResetRestoresPresetsAndHotkeys();
    void recordedHotkeyIsSavedAndReregistered();
    void escapeClearsAHotkeyUntilReset();
    void recordingReleasesTheGlobalHotkeys();
    void resetControlReactsOnlyOverItsText();

private:
    SetRow* rowNamed(const QString& key) const;
    QString autostartFile() const { return m_dir->filePath(QStringLiteral("autostart/runeboard.desktop")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Managers> m_managers;
    std::unique_ptr<SettingsView> m_view;
};

void SettingsViewTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->path()));
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
    for (SetRow* row : m_view->setsTab()->rows()) {
        if (row->set().name == key)
            return row;
    }
    return nullptr;
}

void SettingsViewTest::generalTabWritesAfterTheEvent_data() {
    QTest::addColumn<int>("control");
    QTest::newRow("language menu") << 0;
    QTest::newRow("keyboard size") << 1;
    QTest::newRow("custom-symbol switch") << 2;
    QTest::newRow("start-at-login switch") << 3;
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
        case 2:
            return !keyboard.separateCustomSymbols();
        default:
            return QFile::exists(autostartFile());
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
    case 2:
        click(tab->customSymbolsSwitch());
        break;
    default:
        click(tab->startAtLoginSwitch());
        break;
    }
    QVERIFY2(!written(), "written while the control's event was handled");
    QTRY_VERIFY(written());
    // And the control shows what is stored.
    QCOMPARE(tab->languageMenu()->currentIndex(), control == 0 ? 2 : 0);
    QCOMPARE(tab->sizeSelector()->currentIndex(), control == 1 ? 1 : 0);
    QCOMPARE(tab->customSymbolsSwitch()->isChecked(), control != 2);
    QCOMPARE(tab->startAtLoginSwitch()->isChecked(), control == 3);
}

void SettingsViewTest::startAtLoginShowsTheFileAsItIs() {
    ToggleSwitch* toggle = m_view->generalTab()->startAtLoginSwitch();
    const QString file = autostartFile();
    click(toggle);
    QTRY_VERIFY(QFile::exists(file));
    QVERIFY(toggle->isChecked());
    QVERIFY(
        readText(file).contains(QStringLiteral("\nExec=") + QCoreApplication::applicationFilePath() + u'\n'));
    QCOMPARE(QProcess::execute(QStringLiteral("desktop-file-validate"), {file}), 0);

    // Removed by hand: off the next time the window shows.
    QVERIFY(QFile::remove(file));
    m_view->hide();
    m_view->show();
    QVERIFY(!toggle->isChecked());

    // A folder that cannot be written (a file in its place: permissions do not stop root).
    QVERIFY(QDir(m_dir->path()).rmdir(QStringLiteral("autostart")));
    QFile blocker(m_dir->filePath(QStringLiteral("autostart")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    StdoutCapture output;
    click(toggle);
    QTRY_COMPARE(output.lines().size(), 1);
    QVERIFY2(output.lines().first().startsWith(
                 QStringLiteral("[GeneralTab] Start at login is still off: cannot create the folder")),
             qPrintable(output.lines().first()));
    QVERIFY(!toggle->isChecked());

    // A path that needs quoting in an Exec line still gives a valid entry.
    QFile tricky(m_dir->filePath(QStringLiteral("tricky.desktop")));
    QVERIFY(tricky.open(QIODevice::WriteOnly));
    tricky.write(AutostartEntry::entryText(QStringLiteral("/opt/My Apps/rune$board%")).toUtf8());
    tricky.close();
    QVERIFY(
        readText(tricky.fileName()).contains(QStringLiteral("\nExec=\"/opt/My Apps/rune\\\\$board%%\"\n")));
    QCOMPARE(QProcess::execute(QStringLiteral("desktop-file-validate"), {tricky.fileName()}), 0);
}

void SettingsViewTest::choosingRussianRetitlesEverythingAtOnce() {
    auto allTexts = [this] {
        QStringList texts = labelTexts(m_view.get()) + m_view->tabSelector()->segments();
        texts += m_view->hotkeysTab()->resetButton()->label();
        texts += m_view->hotkeysTab()->recorder(HotkeySettings::Role::SwitchPalette1)->placeholder();
        return texts;
    };
    const QStringList english = allTexts();
    QComboBox* menu = m_view->generalTab()->languageMenu();
    menu->setFocus();
    QTest::keyClick(menu, Qt::Key_End);
    QTRY_COMPARE(m_managers->localization.currentLanguage(), QStringLiteral("ru"));

    QCOMPARE(menu->currentText(), QStringLiteral("Русский"));
    QCOMPARE(m_view->tabSelector()->segments().constLast(), QStringLiteral("Горячие клавиши"));
    // Every text changed at once; set names other than the presets' and "Custom" stay as they are.
    const QStringList russian = allTexts();
    for (qsizetype i = 0; i < english.size(); ++i)
        QVERIFY2(english.at(i) != russian.at(i) || english.at(i) == QLatin1String("Custom") ||
                     english.at(i).isEmpty() || english.at(i) == QLatin1String("IPA"),
                 qPrintable(english.at(i)));
}

void SettingsViewTest::quickAccessRules() {
    const QList<SetRow*> rows = m_view->setsTab()->rows();
    QCOMPARE(rows.size(), 16);
    // The main set's button keeps its place but does nothing.
    IconButton* mainButton = rows.at(0)->quickAccessButton();
    QVERIFY(rows.at(0)->set().isMain);
    QVERIFY(!mainButton->isEnabled());
    QCOMPARE(mainButton->symbolColor().alpha(), 0);
    QVERIFY(mainButton->width() > 0);
    const QList<SymbolPalette> before = m_managers->palettes.palettes();
    click(mainButton);
    QCOMPARE(m_managers->palettes.palettes(), before);

    click(rows.at(1)->quickAccessButton());
    click(rows.at(2)->quickAccessButton());
    QCOMPARE(m_managers->palettes.additionalPalettes().size(), 2);
    QCOMPARE(rows.at(1)->quickAccessButton()->symbol(), SymbolIcon::Kind::PlusCircleFill);
    // A third is refused.
    click(rows.at(3)->quickAccessButton());
    QVERIFY(!m_managers->palettes.palettes().at(3).isAdditional);
    QCOMPARE(rows.at(3)->quickAccessButton()->symbol(), SymbolIcon::Kind::PlusCircle);
    QVERIFY(rows.at(3)->quickAccessButton()->symbolColor().alpha() > 0);
    // Taking one away is never refused.
    click(rows.at(1)->quickAccessButton());
    QCOMPARE(m_managers->palettes.additionalPalettes().size(), 1);
}

void SettingsViewTest::clickingAdditionalSetNameMakesItMainAndActive() {
    const QList<SetRow*> rows = m_view->setsTab()->rows();
    click(rows.at(4)->quickAccessButton());
    QVERIFY(rows.at(4)->set().isAdditional);
    const QUuid id = rows.at(4)->set().id;

    click(rows.at(4)->nameBlock());
    QVERIFY(rows.at(4)->set().isMain);
    QVERIFY(!rows.at(4)->set().isAdditional);
    QCOMPARE(rows.at(4)->mainMarker()->symbol(), SymbolIcon::Kind::CheckmarkCircleFill);
    QCOMPARE(rows.at(4)->quickAccessButton()->symbolColor().alpha(), 0);
    QCOMPARE(rows.at(0)->mainMarker()->symbol(), SymbolIcon::Kind::Circle);
    QVERIFY(rows.at(0)->quickAccessButton()->isEnabled());
    QCOMPARE(m_managers->keyboard.activePaletteID(), SymbolPalette::idText(id));
    QCOMPARE(m_managers->keyboard.activePalette().id, id);

    // The marker does the same.
    click(rows.at(7)->mainMarker());
    QCOMPARE(m_managers->palettes.mainPalette()->id, rows.at(7)->set().id);
    QCOMPARE(m_managers->keyboard.activePaletteID(), rows.at(7)->set().idText());
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
    SetRow* main = tab->rows().at(0);
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
        QCOMPARE(tab->rows().size(), 15);
        for (SetRow* row : tab->rows())
            QCOMPARE(row->mainMarker()->symbol(), SymbolIcon::Kind::Circle);
    } else {
        QCOMPARE(m_managers->palettes.palettes().size(), 16);
        QVERIFY(m_managers->palettes.palette(set.id));
    }
    QCOMPARE(m_managers->keyboard.activePaletteID(), activeBefore);
}

void SettingsViewTest::deletingEverySetLeavesTheCustomRow() {
    m_view->setSelectedTab(1);
    SetsTab* tab = m_view->setsTab();
    while (!tab->rows().isEmpty()) {
        click(tab->rows().constFirst()->deleteButton());
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
    QVERIFY(!keyboard.isKeyboardVisible());
    keyboard.setTemporaryCustomCharacters(QStringLiteral("ab"));
    m_view->setSelectedTab(1);

    click(m_view->setsTab()->customRow());
    QCOMPARE(keyboard.activePaletteID(), KeyboardState::customEmptyID);
    QCOMPARE(keyboard.temporaryCustomCharacters(), QString());
    QVERIFY(keyboard.isKeyboardVisible());
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
    const int registrationsBefore = int(m.hotkeyService.registrations.size());

    m_view->setSelectedTab(1);
    SubtleResetButton* reset = m_view->setsTab()->factoryResetButton();
    click(reset, reset->textRect().center());

    QStringList names;
    for (const SymbolPalette& set : m.palettes.palettes())
        names.append(set.name);
    QStringList presetNames;
    for (const SymbolPalette& set : presetCatalogue())
        presetNames.append(set.name);
    QCOMPARE(names, presetNames);
    QCOMPARE(m.palettes.mainPalette()->name, QStringLiteral("preset_kazakh_cyr"));
    QVERIFY(m.palettes.additionalPalettes().isEmpty());
    QCOMPARE(m_view->setsTab()->rows().size(), 16);

    for (int role = 0; role < 4; ++role) {
        const auto r = static_cast<HotkeySettings::Role>(role);
        QCOMPARE(m.hotkeys.config(r), HotkeySettings::defaultConfig(r));
        QCOMPARE(m_view->hotkeysTab()->recorder(r)->config(), HotkeySettings::defaultConfig(r));
    }
    QCOMPARE(activeCombinations(m.hotkeyService),
             (QList<QPair<quint32, quint32>>{
                 {40, optionShift}, {18, optionShift}, {19, optionShift}, {20, optionShift}}));
    QVERIFY(m.hotkeyService.registrations.size() > registrationsBefore);
    // What the reset leaves alone.
    QCOMPARE(m.keyboard.keyboardSize(), KeyboardSize::Full);
    QCOMPARE(m.localization.appLanguage(), QStringLiteral("auto"));
}

void SettingsViewTest::recordedHotkeyIsSavedAndReregistered() {
    Managers& m = *m_managers;
    m_view->setSelectedTab(2);
    HotkeyRecorderView* recorder = m_view->hotkeysTab()->recorder(HotkeySettings::Role::SwitchPalette2);
    QCOMPARE(recorder->shownText(), QStringLiteral("Alt+Shift+2"));

    click(recorder);
    QVERIFY(recorder->isRecording());
    // Control+Alt+F7 (X keycode 73).
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F7, Qt::ControlModifier | Qt::AltModifier, 73, 0, 0);
    QApplication::sendEvent(recorder, &press);
    QCOMPARE(m.hotkeys.switchPalette2(), HotkeySettings::defaultConfig(HotkeySettings::Role::SwitchPalette2));

    const HotkeyConfig recorded{98, CarbonModifier::Control | CarbonModifier::Option};
    QTRY_COMPARE(m.hotkeys.switchPalette2(), recorded);
    QCOMPARE(HotkeySettings(m.store).switchPalette2(), recorded);
    QCOMPARE(recorder->shownText(), QStringLiteral("Ctrl+Alt+F7"));
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
    QCOMPARE(recorder->shownText(), QStringLiteral("Alt+Shift+K"));
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
