#include "localization/LocalizationManager.h"
#include "settings/AppLogo.h"
#include "settings/BulletPointRow.h"
#include "settings/HelpAboutView.h"
#include "settings/LogoView.h"
#include "storage/SettingsStore.h"
#include "updates/UpdateManager.h"

#include "FeedServer.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

class HelpAboutViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void shape();
    void updateButtonFollowsCanCheck();
    void russianRetranslatesWithBulletsLevelWithTheFirstLine_data();
    void russianRetranslatesWithBulletsLevelWithTheFirstLine();

private:
    QLabel* label(const char* name) const { return m_view->findChild<QLabel*>(QString::fromLatin1(name)); }
    QStringList texts() const;

    struct Env {
        QTemporaryDir dir;
        SettingsStore store{dir.filePath(QStringLiteral("runeboard.conf"))};
        LocalizationManager localization{store, QStringLiteral("en")};
        UpdateManager updates{store, localization};
    };
    std::unique_ptr<Env> m;
    std::unique_ptr<HelpAboutView> m_view;
    QList<UpdateCheckResult> m_presented;
};

void HelpAboutViewTest::init() {
    m = std::make_unique<Env>();
    m_presented.clear();
    m->updates.setPresenter([this](const UpdateCheckResult& result) { m_presented.append(result); });
    m_view = std::make_unique<HelpAboutView>(m->localization, m->updates);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void HelpAboutViewTest::cleanup() {
    m_view.reset();
    m.reset();
}

QStringList HelpAboutViewTest::texts() const {
    QStringList result;
    for (const QLabel* line : m_view->findChildren<QLabel*>())
        result.append(line->text());
    return result << m_view->updateButton()->text();
}

void HelpAboutViewTest::shape() {
    QCOMPARE(m_view->size(), QSize(380, 480));
    QVERIFY(m_view->findChild<LogoView*>()->hasImage());
    QCOMPARE(m_view->findChild<LogoView*>()->size(), QSize(100, 100));
    QVERIFY(!AppLogo::icon().isNull());
    QVERIFY(label("websiteLink")->text().contains(QStringLiteral("href=\"https://runeboard.org/\"")));
    QVERIFY(label("websiteLink")->text().contains(QStringLiteral(">runeboard.org</a>")));
    QVERIFY(label("websiteLink")->openExternalLinks());
    QVERIFY(m_view->layout()->minimumSize().height() <= 480); // nothing is pushed out of the frame

    m->updates.setCurrentVersion(QString());
    m_view = std::make_unique<HelpAboutView>(m->localization, m->updates);
    QCOMPARE(label("versionLabel")->text(), QStringLiteral("Version 1.0"));
}

void HelpAboutViewTest::updateButtonFollowsCanCheck() {
    QPushButton* button = m_view->updateButton();
    QCOMPARE(button->isEnabled(), m->updates.canCheckForUpdates());
    QTRY_VERIFY(button->isEnabled());

    FeedServer server;
    m->store.setString(UpdateManager::feedURLKey, server.url());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!button->isEnabled());
    QTRY_COMPARE(m_presented.size(), 1);
    QVERIFY(button->isEnabled());
}

void HelpAboutViewTest::russianRetranslatesWithBulletsLevelWithTheFirstLine_data() {
    QTest::addColumn<qreal>("points");
    QTest::newRow("desktop font") << 0.0;
    QTest::newRow("large desktop font") << 14.0;
}

void HelpAboutViewTest::russianRetranslatesWithBulletsLevelWithTheFirstLine() {
    QFETCH(qreal, points);
    const QFont desktopFont = QApplication::font();
    const auto restoreFont = qScopeGuard([desktopFont] { QApplication::setFont(desktopFont); });
    if (points > 0) {
        QFont large = desktopFont;
        large.setPointSizeF(points);
        QApplication::setFont(large);
        m_view = std::make_unique<HelpAboutView>(m->localization, m->updates);
        m_view->show();
    }
    const QStringList english = texts();
    m->localization.setAppLanguage(QStringLiteral("ru"));
    m->localization.updateLanguage();
    const QStringList russian = texts();
    qsizetype unchanged = 0;
    for (qsizetype i = 0; i < english.size(); ++i)
        unchanged += english.at(i) == russian.at(i) ? 1 : 0;
    QCOMPARE(unchanged, 6 /* bullets */ + 1 /* link */);

    QCOMPARE(m_view->width(), 380);
    QCOMPARE(m_view->height() == 480, points == 0);
    const QList<BulletPointRow*> rows = m_view->findChildren<BulletPointRow*>();
    QCOMPARE(rows.size(), 6);
    // Russian lines wrap in 340 points, and a wrapped text gets the height of all its
    // lines; the layout settles on the event loop.
    const auto wrapped = [](const BulletPointRow* row) {
        return row->textLabel()->height() > 1.5 * row->textLabel()->fontMetrics().height();
    };
    const auto fits = [](const BulletPointRow* row) {
        return row->textLabel()->height() >= row->textLabel()->heightForWidth(row->textLabel()->width());
    };
    QTRY_VERIFY(std::any_of(rows.cbegin(), rows.cend(), wrapped) &&
                std::all_of(rows.cbegin(), rows.cend(), fits));
    for (const BulletPointRow* row : rows) {
        QCOMPARE(row->bulletLabel()->geometry().top(), row->textLabel()->geometry().top());
        QVERIFY(row->bulletLabel()->geometry().right() < row->textLabel()->geometry().left());
        QVERIFY(m_view->rect().contains(row->mapTo(m_view.get(), row->rect().bottomRight())));
    }
}

QTEST_MAIN(HelpAboutViewTest)
#include "tst_helpaboutview.moc"
