#include "hotkeys/HotkeySettings.h"
#include "localization/LocalizationManager.h"
#include "settings/AppLogo.h"
#include "settings/BulletPointRow.h"
#include "settings/HelpAboutView.h"
#include "settings/LogoView.h"
#include "storage/SettingsStore.h"
#include "updates/UpdateManager.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScopeGuard>
#include <QTcpServer>
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
    void versionLine_data();
    void versionLine();
    void updateButtonFollowsCanCheck();
    void russianRetranslatesEveryLine();
    void instructionsQuoteTheCurrentCombinations();
    void bulletsStayLevelWithTheFirstLine_data();
    void bulletsStayLevelWithTheFirstLine();

private:
    QLabel* label(const char* name) const { return m_view->findChild<QLabel*>(QString::fromLatin1(name)); }
    QStringList texts() const;

    struct Env {
        QTemporaryDir dir;
        SettingsStore store{dir.filePath(QStringLiteral("runeboard.conf"))};
        LocalizationManager localization{store, QStringLiteral("en")};
        UpdateManager updates{store, localization};
        HotkeySettings hotkeys{store};
    };
    std::unique_ptr<Env> m;
    std::unique_ptr<HelpAboutView> m_view;
    QList<UpdateCheckResult> m_presented;
};

void HelpAboutViewTest::init() {
    m = std::make_unique<Env>();
    m_presented.clear();
    m->updates.setPresenter([this](const UpdateCheckResult& result) { m_presented.append(result); });
    m_view = std::make_unique<HelpAboutView>(m->localization, m->updates, m->hotkeys);
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
    result.append(m_view->updateButton()->text());
    return result;
}

void HelpAboutViewTest::shape() {
    QCOMPARE(m_view->size(), QSize(380, 480));
    QCOMPARE(m_view->windowTitle(), QStringLiteral("Help & About"));
    QVERIFY(m_view->findChild<LogoView*>()->hasImage());
    QCOMPARE(m_view->findChild<LogoView*>()->size(), QSize(100, 100));
    QVERIFY(!AppLogo::icon().isNull());
    QVERIFY(label("websiteLink")->text().contains(QStringLiteral("href=\"https://runeboard.org/\"")));
    QVERIFY(label("websiteLink")->text().contains(QStringLiteral(">runeboard.org</a>")));
    QVERIFY(label("websiteLink")->openExternalLinks());
    // Everything fits: nothing is pushed out of the fixed frame.
    for (const QWidget* child : m_view->findChildren<QWidget*>()) {
        if (child->isVisible())
            QVERIFY2(m_view->rect().contains(child->geometry()) || child->parentWidget() != m_view.get(),
                     qPrintable(child->objectName()));
    }
    QVERIFY(m_view->layout()->minimumSize().height() <= 480);
}

void HelpAboutViewTest::versionLine_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("shown");
    QTest::newRow("the build's version") << QString() << QStringLiteral("Version 0.1.0");
    QTest::newRow("no version") << QStringLiteral("") << QStringLiteral("Version 1.0");
}

void HelpAboutViewTest::versionLine() {
    QFETCH(QString, version);
    QFETCH(QString, shown);
    if (!version.isNull()) {
        m->updates.setCurrentVersion(version);
        m_view = std::make_unique<HelpAboutView>(m->localization, m->updates, m->hotkeys);
    }
    QCOMPARE(label("versionLabel")->text(), shown);
}

void HelpAboutViewTest::updateButtonFollowsCanCheck() {
    QPushButton* button = m_view->updateButton();
    QCOMPARE(button->text(), QStringLiteral("Check for Updates..."));
    QCOMPARE(button->isEnabled(), m->updates.canCheckForUpdates());
    QTRY_VERIFY(button->isEnabled());

    // A server that accepts and never answers keeps the check running.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    m->store.setString(UpdateManager::feedURLKey,
                       QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()));
    m->updates.setTimeout(std::chrono::milliseconds(300));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!button->isEnabled());
    QTRY_COMPARE(m_presented.size(), 1);
    QVERIFY(button->isEnabled());
    QCOMPARE(m_presented.first().failure, UpdateCheckResult::Failure::TimedOut);
}

void HelpAboutViewTest::russianRetranslatesEveryLine() {
    const QStringList english = texts();
    m->localization.setAppLanguage(QStringLiteral("ru"));
    m->localization.updateLanguage();
    const QStringList russian = texts();
    for (const QString& expected :
         {QStringLiteral("Версия 0.1.0"), QStringLiteral("Проверить обновления..."),
          QStringLiteral("Как пользоваться?"), QStringLiteral("Управление клавиатурой"),
          QStringLiteral("Наборы символов"), QStringLiteral("Ввод: Клик по символу"),
          QStringLiteral("Удаление: Правый клик (ПКМ) по символу")})
        QVERIFY2(russian.contains(expected), qPrintable(expected));
    // Every text changed except the bullets, the link and the empty ones.
    int unchanged = 0;
    for (qsizetype i = 0; i < english.size(); ++i)
        unchanged += english.at(i) == russian.at(i) ? 1 : 0;
    QCOMPARE(unchanged, 6 /* bullets */ + 1 /* link */);
}

void HelpAboutViewTest::instructionsQuoteTheCurrentCombinations() {
    const QStringList defaults = texts();
    QVERIFY(defaults.contains(QStringLiteral("Show/hide: Alt+Shift+K (configurable in Hotkeys)")));
    QVERIFY(defaults.contains(
        QStringLiteral("Switch: Alt+Shift+1 (Main set), Alt+Shift+2, Alt+Shift+3 (Additional)")));
    m->hotkeys.setToggleKeyboard({38, CarbonModifier::Control | CarbonModifier::Option});
    m->hotkeys.setSwitchPalette2({});
    const QStringList changed = texts();
    QVERIFY(changed.contains(QStringLiteral("Show/hide: Ctrl+Alt+J (configurable in Hotkeys)")));
    QVERIFY(changed.contains(QStringLiteral("Switch: Alt+Shift+1 (Main set), —, Alt+Shift+3 (Additional)")));
}

void HelpAboutViewTest::bulletsStayLevelWithTheFirstLine_data() {
    QTest::addColumn<qreal>("points");
    QTest::newRow("desktop font") << 0.0;
    QTest::newRow("large desktop font") << 14.0;
}

void HelpAboutViewTest::bulletsStayLevelWithTheFirstLine() {
    QFETCH(qreal, points);
    const QFont desktopFont = QApplication::font();
    const auto restoreFont = qScopeGuard([desktopFont] { QApplication::setFont(desktopFont); });
    if (points > 0) {
        QFont large = desktopFont;
        large.setPointSizeF(points);
        QApplication::setFont(large);
        m_view = std::make_unique<HelpAboutView>(m->localization, m->updates, m->hotkeys);
        m_view->show();
    }
    m->localization.setAppLanguage(QStringLiteral("ru"));
    m->localization.updateLanguage();
    QCOMPARE(m_view->width(), 380);
    QCOMPARE(m_view->height() == 480, points == 0);
    const QList<BulletPointRow*> rows = m_view->findChildren<BulletPointRow*>();
    QCOMPARE(rows.size(), 6);
    // Russian lines are long enough to wrap in 340 points; the layout settles on the event loop.
    auto wrapped = [](const BulletPointRow* row) {
        return row->textLabel()->height() > 1.5 * row->textLabel()->fontMetrics().height();
    };
    // A wrapped text is given the height of all its lines.
    auto fits = [](const BulletPointRow* row) {
        return row->textLabel()->height() >= row->textLabel()->heightForWidth(row->textLabel()->width());
    };
    QTRY_VERIFY(std::any_of(rows.cbegin(), rows.cend(), wrapped) &&
                std::all_of(rows.cbegin(), rows.cend(), fits));
    for (const BulletPointRow* row : rows) {
        const QLabel* text = row->textLabel();
        const QLabel* bullet = row->bulletLabel();
        QCOMPARE(bullet->geometry().top(), text->geometry().top());
        QVERIFY(bullet->geometry().right() < text->geometry().left());
        QVERIFY(m_view->rect().contains(row->mapTo(m_view.get(), row->rect().bottomRight())));
    }
}

QTEST_MAIN(HelpAboutViewTest)
#include "tst_helpaboutview.moc"
