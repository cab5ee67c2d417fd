#include "AppFixture.h"
#include "FakeTypingSetup.h"
#include "hotkeys/HotkeySettings.h"
#include "hotkeys/KeyTable.h"
#include "keyboard/KeyboardState.h"
#include "localization/LocalizationManager.h"
#include "sets/PresetCatalogue.h"
#include "sets/SetStore.h"
#include "settings/GeneralTab.h"
#include "settings/HotkeyRecorderView.h"
#include "settings/HotkeysTab.h"
#include "settings/SetRow.h"
#include "settings/SetsTab.h"
#include "settings/SettingsView.h"
#include "settings/TypingSetupRow.h"
#include "settings/controls/IconButton.h"
#include "settings/controls/SubtleResetButton.h"
#include "settings/controls/ToggleSwitch.h"
#include "storage/SettingsStore.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <linux/input-event-codes.h>

namespace {

const HotkeyModifiers altShift = HotkeyModifier::Alt | HotkeyModifier::Shift;

void click(QWidget* widget, QPoint position = {}) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, position.isNull() ? widget->rect().center() : position);
}

} // namespace

class SettingsViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        m = std::make_unique<AppFixture>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m->dir.path()));
        m->start();
        QCoreApplication::processEvents(); // the launch step shows the keyboard first
        m->app->openSettings();
        m_view = static_cast<SettingsView*>(m->app->settingsWindow());
        QApplication::setActiveWindow(m_view);
        QVERIFY(QTest::qWaitForWindowActive(m_view));
    }

    void cleanup() { m.reset(); }

    void generalTabWritesAfterTheEvent_data() {
        QTest::addColumn<bool>("language"); // otherwise the start-at-login switch
        QTest::newRow("language menu") << true;
        QTest::newRow("start-at-login switch") << false;
    }

    void generalTabWritesAfterTheEvent() {
        QFETCH(bool, language);
        GeneralTab* tab = m_view->generalTab();
        LocalizationManager& localization = m->app->localizationManager();
        auto written = [&] {
            return language ? localization.appLanguage() == QLatin1String("ru") &&
                                  localization.currentLanguage() == QLatin1String("ru")
                            : QFile::exists(autostartFile());
        };
        QVERIFY(!written());
        if (language) {
            tab->languageMenu()->setFocus();
            QTest::keyClick(tab->languageMenu(), Qt::Key_End); // the last entry, Russian
        } else {
            click(tab->startAtLoginSwitch());
        }
        QVERIFY2(!written(), "written while the control's event was handled");
        QTRY_VERIFY(written());
        // And the controls show what is stored.
        QCOMPARE(tab->languageMenu()->currentIndex(), language ? 2 : 0);
        QCOMPARE(tab->startAtLoginSwitch()->isChecked(), !language);
    }

    void startAtLoginShowsTheFileAsItIs() {
        ToggleSwitch* toggle = m_view->generalTab()->startAtLoginSwitch();
        const QString file = autostartFile();
        click(toggle);
        QTRY_VERIFY(QFile::exists(file));
        QFile entry(file);
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(
            entry.readAll().contains("\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + '\n'));
        QCOMPARE(QProcess::execute(QStringLiteral("desktop-file-validate"), {file}), 0);
        click(toggle);
        QTRY_VERIFY(!QFile::exists(file));
        click(toggle);
        QTRY_VERIFY(QFile::exists(file));

        // Removed by hand: off the next time the window shows.
        QVERIFY(QFile::remove(file));
        m_view->hide();
        m_view->show();
        QVERIFY(!toggle->isChecked());
    }

    void deleteConfirmation_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("delete") << 0;
        QTest::newRow("cancel") << 1;
    }

    void deleteConfirmation() {
        QFETCH(int, answer);
        SetsTab* tab = m_view->setsTab();
        const QString activeBefore = keyboard().activeSetId();
        const SymbolSet set = tab->row(0)->set();
        click(tab->row(0)->deleteButton());
        QMessageBox* box = tab->deleteConfirmation();
        QVERIFY(box);
        QTRY_VERIFY(box->isVisible());
        click(box->findChild<QPushButton*>(answer == 0 ? QStringLiteral("confirmDelete")
                                                       : QStringLiteral("cancelDelete")));
        QTRY_VERIFY(!tab->setToDelete() && !tab->deleteConfirmation());
        QCOMPARE(store().find(set.id).has_value(), answer != 0);
        QCOMPARE(tab->rowCount(), answer == 0 ? 15 : 16);
        QCOMPARE(keyboard().activeSetId(), activeBefore);
    }

    void factoryResetRestoresPresetsAndHotkeys() {
        SymbolSet mine;
        mine.id = QUuid::createUuid();
        mine.name = QStringLiteral("Mine");
        store().addSet(mine);
        store().deleteSet(store().sets().at(3).id);
        keyboard().setKeyboardSize(KeyboardSize::Full);
        hotkeys().setHotkey(KeyboardAction::ToggleKeyboard, {});
        hotkeys().setHotkey(KeyboardAction::QuickSet2, {KEY_F7, HotkeyModifier::Control});

        m_view->setSelectedTab(1);
        SubtleResetButton* reset = m_view->setsTab()->factoryResetButton();
        click(reset, reset->textRect().center());

        QStringList names;
        for (int i = 0; i < m_view->setsTab()->rowCount(); ++i)
            names.append(m_view->setsTab()->row(i)->set().name);
        QStringList presetNames;
        for (const SymbolSet& set : presetCatalogue())
            presetNames.append(set.name);
        QCOMPARE(names, presetNames);
        QCOMPARE(store().mainSet()->name, QStringLiteral("preset_kazakh_cyr"));
        QCOMPARE(m->hotkeys->active.size(), 4);
        for (PhysicalKey key : {KEY_K, KEY_1, KEY_2, KEY_3})
            QVERIFY(m->hotkeys->press(key, altShift));
        QCOMPARE(m_view->hotkeysTab()->recorder(KeyboardAction::QuickSet2)->shownText(),
                 QStringLiteral("Alt+Shift+2"));
        // What the reset leaves alone.
        QCOMPARE(keyboard().keyboardSize(), KeyboardSize::Full);
    }

    void recordingAndClearing_data() {
        QTest::addColumn<KeyboardAction>("action");
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<quint32>("xKeycode");
        QTest::addColumn<Hotkey>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Ctrl+Alt+F7 for set 2")
            << KeyboardAction::QuickSet2 << int(Qt::Key_F7)
            << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier) << 73u
            << Hotkey{KEY_F7, HotkeyModifier::Control | HotkeyModifier::Alt} << QStringLiteral("Ctrl+Alt+F7");
        QTest::newRow("Escape clears the toggle")
            << KeyboardAction::ToggleKeyboard << int(Qt::Key_Escape) << Qt::KeyboardModifiers() << 9u
            << Hotkey{} << QStringLiteral("—");
    }

    void recordingAndClearing() {
        QFETCH(KeyboardAction, action);
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(quint32, xKeycode);
        QFETCH(Hotkey, stored);
        QFETCH(QString, shown);
        const Hotkey before = hotkeys().hotkey(action);
        m_view->setSelectedTab(2);
        HotkeyRecorderView* recorder = m_view->hotkeysTab()->recorder(action);
        click(recorder);
        QVERIFY(m->hotkeys->active.isEmpty()); // released while recording, so the keys reach the field
        QKeyEvent press(QEvent::KeyPress, key, modifiers, xKeycode, 0, 0);
        QApplication::sendEvent(recorder, &press);
        QCOMPARE(hotkeys().hotkey(action), before);
        QTRY_COMPARE(hotkeys().hotkey(action), stored);
        QCOMPARE(HotkeySettings(m->app->settingsStore()).hotkey(action), stored);
        QCOMPARE(recorder->shownText(), shown);
        // Only the new combination works; the old one is gone.
        QCOMPARE(m->hotkeys->active.size(), stored.isEmpty() ? 3 : 4);
        QVERIFY(!m->hotkeys->press(before.key, before.modifiers));
        QCOMPARE(m->hotkeys->press(stored.key, stored.modifiers), !stored.isEmpty());

        // The reset control brings the default back, working again.
        SubtleResetButton* reset = m_view->hotkeysTab()->resetButton();
        click(reset, reset->textRect().center());
        QCOMPARE(recorder->shownText(), KeyTable::displayText(before));
        QVERIFY(m->hotkeys->press(before.key, before.modifiers));
        // A field that goes away while recording gives the desktop its hotkeys back.
        click(recorder);
        m_view->setSelectedTab(0);
        QVERIFY(!recorder->isRecording());
        QCOMPARE(m->hotkeys->active.size(), 4);
    }

    // Keys given in the desktop's own shortcut settings (Plasma's System Settings).
    void keysFromTheDesktopsSettings_data() {
        QTest::addColumn<Hotkey>("given");
        QTest::addColumn<bool>("kept");
        QTest::newRow("taken") << Hotkey{KEY_F7, HotkeyModifier::Control | HotkeyModifier::Alt} << true;
        QTest::newRow("none") << Hotkey{} << true;
        QTest::newRow("a plain letter: refused, the old keys given back") << Hotkey{KEY_A, {}} << false;
    }
    void keysFromTheDesktopsSettings() {
        QFETCH(Hotkey, given);
        QFETCH(bool, kept);
        const KeyboardAction action = KeyboardAction::QuickSet2;
        const Hotkey now = kept ? given : hotkeys().hotkey(action);
        const HotkeyService::Handle before = m->hotkeys->active.last().handle;
        Q_EMIT m->hotkeys->changedOutside(quint32(action), given.key, given.modifiers);
        QCOMPARE(HotkeySettings(m->app->settingsStore()).hotkey(action), now);
        QVERIFY(m->hotkeys->active.last().handle != before); // registered again
        QCOMPARE(m->hotkeys->press(now.key, now.modifiers), !now.isEmpty());
    }

    void typingSetupSaysWhatToDo_data() {
        using State = TypingSetup::State;
        QTest::addColumn<State>("state");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<State>("after");
        QTest::newRow("off: turned on, log in again") << State::Off << QString() << State::RestartNeeded;
        QTest::newRow("off: turning on fails, and says why")
            << State::Off << QStringLiteral("gsettings is missing") << State::Off;
        QTest::newRow("failed: the shell's words") << State::Failed << QString() << State::Failed;
    }

    void typingSetupSaysWhatToDo() {
        QFETCH(TypingSetup::State, state);
        QFETCH(QString, failure);
        QFETCH(TypingSetup::State, after);
        FakeTypingSetup setup;
        setup.current = state;
        setup.failure = failure;
        GeneralTab tab(m->app->localizationManager(), keyboard(), &setup);
        TypingSetupRow* row = tab.typingSetupRow();
        QVERIFY(row);
        tab.show();
        QVERIFY(setup.refreshes > 0); // the user may have changed it elsewhere
        QCOMPARE(row->stateText()->text().contains(QLatin1String("SyntaxError")),
                 state == TypingSetup::State::Failed);

        QCOMPARE(row->turnOnButton()->isVisible(), state == TypingSetup::State::Off);
        if (state != TypingSetup::State::Off)
            return;
        click(row->turnOnButton());
        QCOMPARE(setup.turnOns, 0); // after the click's own event
        QTRY_COMPARE(setup.turnOns, 1);
        QCOMPARE(setup.state(), after);
        QCOMPARE(row->turnOnButton()->isVisible(), failure.isEmpty() ? false : true);
        QCOMPARE(row->stateText()->text().contains(failure), true);
    }

private:
    QString autostartFile() const { return m->dir.filePath(QStringLiteral("autostart/runeboard.desktop")); }
    KeyboardState& keyboard() { return m->app->keyboardState(); }
    SetStore& store() { return m->app->setStore(); }
    HotkeySettings& hotkeys() { return m->app->hotkeySettings(); }

    std::unique_ptr<AppFixture> m;
    SettingsView* m_view = nullptr;
};

QTEST_MAIN(SettingsViewTest)
#include "tst_settingsview.moc"
