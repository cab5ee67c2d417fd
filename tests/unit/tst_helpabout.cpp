#include "UpdateFixture.h"
#include "hotkeys/HotkeySettings.h"
#include "settings/about/HelpAboutView.h"
#include "settings/controls/BulletPointRow.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
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

    void russianRetranslatesEveryLine() {
        HelpAboutView view(m->localization, m->manager, m->hotkeys);
        const QStringList english = texts(view);
        m->localization.setAppLanguage(QStringLiteral("ru"));
        const QStringList russian = texts(view);
        // Every text changed except the bullets and the link.
        int unchanged = 0;
        for (qsizetype i = 0; i < english.size(); ++i)
            unchanged += english.at(i) == russian.at(i) ? 1 : 0;
        QCOMPARE(unchanged, 6 /* bullets */ + 1 /* link */);
    }

    void longRussianLinesFitWithALargeFont() {
        const QFont desktopFont = QApplication::font();
        const auto restoreFont = qScopeGuard([desktopFont] { QApplication::setFont(desktopFont); });
        QFont large = desktopFont;
        large.setPointSizeF(14);
        QApplication::setFont(large);
        HelpAboutView view(m->localization, m->manager, m->hotkeys);
        view.show();
        m->localization.setAppLanguage(QStringLiteral("ru"));
        const QList<BulletPointRow*> rows = view.findChildren<BulletPointRow*>();
        QCOMPARE(rows.size(), 6);
        // Russian lines wrap; the layout settles on the event loop, giving a wrapped text all its lines.
        auto wrapped = [](const BulletPointRow* row) {
            return row->textLabel()->height() > 1.5 * row->textLabel()->fontMetrics().height();
        };
        auto fits = [](const BulletPointRow* row) {
            return row->textLabel()->height() >= row->textLabel()->heightForWidth(row->textLabel()->width());
        };
        QTRY_VERIFY(std::any_of(rows.cbegin(), rows.cend(), wrapped) &&
                    std::all_of(rows.cbegin(), rows.cend(), fits));
        for (const BulletPointRow* row : rows)
            QVERIFY(view.rect().contains(row->mapTo(&view, row->rect().bottomRight())));
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
