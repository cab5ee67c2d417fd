#include "UpdateFixture.h"
#include "hotkeys/HotkeySettings.h"
#include "settings/about/HelpAboutView.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

#include <linux/input-event-codes.h>

class TestHelpAbout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m = std::make_unique<Env>(); }
    void cleanup() { m.reset(); }

    void updateButtonIsOffWhileAChecksRuns() {
        HelpAboutView view(m->localization, m->manager, m->hotkeys);
        QPushButton* button = view.updateButton();
        QTRY_VERIFY(button->isEnabled());
        m->server.setMode(FeedServer::Mode::Silent);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!button->isEnabled());
        QTRY_COMPARE(m->presented.size(), 1);
        QVERIFY(button->isEnabled());
        QCOMPARE(m->presented.first().failure, UpdateCheckResult::Failure::TimedOut);
    }

    void instructionsQuoteTheCurrentCombinations() {
        HelpAboutView view(m->localization, m->manager, m->hotkeys);
        const QLabel* link = view.findChild<QLabel*>(QStringLiteral("websiteLink"));
        QVERIFY(link->openExternalLinks() &&
                link->text().contains(QStringLiteral("href=\"https://runeboard.org/\"")));
        const QStringList defaults = texts(view);
        QVERIFY(defaults.contains(QStringLiteral("Show/hide: Alt+Shift+K (configurable in Hotkeys)")));
        QVERIFY(defaults.contains(
            QStringLiteral("Switch: Alt+Shift+1 (Main set), Alt+Shift+2, Alt+Shift+3 (Additional)")));
        m->hotkeys.setHotkey(KeyboardAction::ToggleKeyboard,
                             {KEY_J, HotkeyModifier::Control | HotkeyModifier::Alt});
        m->hotkeys.setHotkey(KeyboardAction::QuickSet2, {});
        const QStringList changed = texts(view);
        QVERIFY(changed.contains(QStringLiteral("Show/hide: Ctrl+Alt+J (configurable in Hotkeys)")));
        QVERIFY(
            changed.contains(QStringLiteral("Switch: Alt+Shift+1 (Main set), —, Alt+Shift+3 (Additional)")));
    }

private:
    QStringList texts(const HelpAboutView& view) const {
        QStringList result;
        for (const QLabel* line : view.findChildren<QLabel*>())
            result.append(line->text());
        result.append(view.updateButton()->text());
        return result;
    }

    struct Env : UpdateFixture {
        HotkeySettings hotkeys{store};
    };
    std::unique_ptr<Env> m;
};

QTEST_MAIN(TestHelpAbout)
#include "tst_helpabout.moc"
