#include "UpdateFixture.h"
#include "hotkeys/HotkeySettings.h"
#include "settings/about/HelpAboutView.h"

#include <QPushButton>
#include <QTest>

#include <memory>

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

private:
    struct Env : UpdateFixture {
        HotkeySettings hotkeys{store};
    };
    std::unique_ptr<Env> m;
};

QTEST_MAIN(TestHelpAbout)
#include "tst_helpabout.moc"
