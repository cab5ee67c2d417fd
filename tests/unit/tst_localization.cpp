#include "localization/LocalizationManager.h"
#include "localization/StringTable.h"
#include "storage/SettingsStore.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestLocalization : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void languageRule_data();
    void languageRule();
    void lookupFallbacks_data();
    void lookupFallbacks();
    void updateLanguagePublishesOnlyOnChange();
    void languageChoiceIsStored();
    void everyKeyHasTwoTexts();
    void lineBreaksAreRealOnes();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
};

void TestLocalization::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("runeboard.conf")));
}

void TestLocalization::languageRule_data() {
    QTest::addColumn<QString>("stored"); // empty: nothing stored
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("expectedLanguage");
    QTest::addColumn<QString>("quitText");
    const auto row = [](const char* name, const char* stored, const char* system, const char* language,
                        const char* quit) {
        QTest::newRow(name) << QString(stored) << QString(system) << QString(language) << QString(quit);
    };
    row("nothing stored, Kazakh system", "", "kk", "ru", "Выход");
    row("auto, Russian system", "auto", "ru", "ru", "Выход");
    row("auto, German system", "auto", "de", "en", "Quit");
    row("auto, no system language", "auto", "", "en", "Quit");
    row("auto is case-sensitive", "Auto", "ru", "Auto", "Quit");
    row("en on a Russian system", "en", "ru", "en", "Quit");
    row("ru on a German system", "ru", "de", "ru", "Выход");
    row("kk stored: English texts", "kk", "ru", "kk", "Quit");
}

void TestLocalization::languageRule() {
    QFETCH(QString, stored);
    QFETCH(QString, system);
    QFETCH(QString, expectedLanguage);
    QFETCH(QString, quitText);
    if (!stored.isEmpty())
        m_store->setString(QStringLiteral("appLanguage"), stored);

    LocalizationManager manager(*m_store, system);
    QCOMPARE(manager.currentLanguage(), expectedLanguage);
    QCOMPARE(manager.localized(QStringLiteral("quit")), quitText);
}

void TestLocalization::lookupFallbacks_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const char* stored, const char* key, const char* expected) {
        QTest::newRow(name) << QString(stored) << QString(key) << QString(expected);
    };
    row("Russian preset name", "ru", "preset_german", "Немецкий");
    row("English preset name", "en", "preset_german", "German");
    row("language without a table", "kk", "preset_german", "German");
    row("user's set name", "ru", "My symbols", "My symbols");
    row("user's Cyrillic set name", "en", "Мои символы", "Мои символы");
    row("key with different case", "ru", "Quit", "Quit");
    row("empty text", "ru", "", "");
}

void TestLocalization::lookupFallbacks() {
    QFETCH(QString, stored);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    m_store->setString(QStringLiteral("appLanguage"), stored);
    LocalizationManager manager(*m_store, QStringLiteral("en"));
    QCOMPARE(manager.localized(key), expected);
}

void TestLocalization::updateLanguagePublishesOnlyOnChange() {
    LocalizationManager manager(*m_store, QStringLiteral("ru"));
    QSignalSpy spy(&manager, &LocalizationManager::currentLanguageChanged);
    QCOMPARE(manager.currentLanguage(), QStringLiteral("ru"));

    manager.updateLanguage();
    QCOMPARE(spy.count(), 0);

    // Choosing the language the system already gives changes nothing visible.
    manager.setAppLanguage(QStringLiteral("ru"));
    manager.updateLanguage();
    QCOMPARE(spy.count(), 0);

    manager.setAppLanguage(QStringLiteral("en"));
    QCOMPARE(manager.currentLanguage(), QStringLiteral("ru")); // only updateLanguage re-derives
    manager.updateLanguage();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("en"));
    QCOMPARE(manager.localized(QStringLiteral("quit")), QStringLiteral("Quit"));

    manager.updateLanguage();
    QCOMPARE(spy.count(), 1);

    manager.setAppLanguage(QStringLiteral("auto"));
    manager.updateLanguage();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("ru"));
}

void TestLocalization::languageChoiceIsStored() {
    {
        LocalizationManager manager(*m_store, QStringLiteral("de"));
        QCOMPARE(manager.appLanguage(), QStringLiteral("auto"));
        QVERIFY(!m_store->contains(QStringLiteral("appLanguage"))); // creation writes nothing
        QSignalSpy spy(&manager, &LocalizationManager::appLanguageChanged);
        manager.setAppLanguage(QStringLiteral("ru"));
        QCOMPARE(spy.count(), 1);
    }
    SettingsStore reopened(m_store->filePath());
    LocalizationManager manager(reopened, QStringLiteral("de"));
    QCOMPARE(manager.appLanguage(), QStringLiteral("ru"));
    QCOMPARE(manager.currentLanguage(), QStringLiteral("ru"));
}

void TestLocalization::everyKeyHasTwoTexts() {
    const auto& rows = StringTable::rows();
    static const QRegularExpression keyPattern(QStringLiteral("^[a-z0-9_]+$"));
    QSet<QString> keys;
    LocalizationManager english(*m_store, QStringLiteral("en"));
    LocalizationManager russian(*m_store, QStringLiteral("ru"));
    for (const StringTable::Row& row : rows) {
        QVERIFY2(keyPattern.match(row.key).hasMatch(), qPrintable(row.key));
        QVERIFY2(!keys.contains(row.key), qPrintable(row.key));
        keys.insert(row.key);
        QVERIFY2(!row.english.isEmpty() && !row.russian.isEmpty(), qPrintable(row.key));
        QCOMPARE(english.localized(row.key), row.english);
        QCOMPARE(russian.localized(row.key), row.russian);
    }
}

void TestLocalization::lineBreaksAreRealOnes() {
    for (const StringTable::Row& row : StringTable::rows()) {
        for (const QString& text : {row.english, row.russian}) {
            QVERIFY2(!text.contains(u'\\'), qPrintable(row.key));
            QVERIFY2(text == text.trimmed(), qPrintable(row.key));
            const int breaks = text.count(u'\n');
            const bool twoLines =
                row.key == QLatin1String("palettes_hint") || row.key == QLatin1String("hotkeys_hint");
            QCOMPARE(breaks, twoLines ? 1 : 0);
        }
    }
}

QTEST_GUILESS_MAIN(TestLocalization)
#include "tst_localization.moc"
