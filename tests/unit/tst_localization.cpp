#include "ConfigDir.h"
#include "localization/LocalizationManager.h"
#include "storage/SettingsStore.h"

#include <QSignalSpy>
#include <QTest>

class TestLocalization : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void languageAndLookup_data();
    void languageAndLookup();
    void updateLanguagePublishesOnlyOnChange();
    void languageChoiceIsStoredAndFollowed();
};

void TestLocalization::languageAndLookup_data() {
    QTest::addColumn<QString>("stored"); // empty: nothing stored
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("expectedLanguage");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    const auto row = [](const char* name, const char* stored, const char* system, const char* language,
                        const char* key, const char* text) {
        QTest::newRow(name) << QString(stored) << QString(system) << QString(language) << QString(key)
                            << QString(text);
    };
    row("nothing stored, Kazakh system", "", "kk", "ru", "quit", "Выход");
    row("auto, German system", "auto", "de", "en", "quit", "Quit");
    row("auto, no system language", "auto", "", "en", "quit", "Quit");
    row("auto is case-sensitive", "Auto", "ru", "Auto", "quit", "Quit");
    row("en on a Russian system", "en", "ru", "en", "preset_german", "German");
    row("ru on a German system", "ru", "de", "ru", "preset_german", "Немецкий");
    row("kk stored: English texts", "kk", "ru", "kk", "preset_german", "German");
    row("user's set name", "ru", "ru", "ru", "Мои символы", "Мои символы");
    row("key with different case", "ru", "ru", "ru", "Quit", "Quit");
}

void TestLocalization::languageAndLookup() {
    QFETCH(QString, stored);
    QFETCH(QString, system);
    QFETCH(QString, expectedLanguage);
    QFETCH(QString, key);
    QFETCH(QString, text);
    ConfigDir config;
    SettingsStore store(config.path());
    if (!stored.isEmpty())
        store.setValue(SettingKey::AppLanguage, stored);
    LocalizationManager manager(store, system);
    QCOMPARE(manager.currentLanguage(), expectedLanguage);
    QCOMPARE(manager.localized(key), text);
}

void TestLocalization::updateLanguagePublishesOnlyOnChange() {
    ConfigDir config;
    SettingsStore store(config.path());
    LocalizationManager manager(store, QStringLiteral("ru"));
    QSignalSpy spy(&manager, &LocalizationManager::currentLanguageChanged);

    manager.setAppLanguage(QStringLiteral("ru")); // what the system gives already
    manager.updateLanguage();
    QCOMPARE(spy.count(), 0);

    manager.setAppLanguage(QStringLiteral("en"));
    QCOMPARE(manager.currentLanguage(), QStringLiteral("ru")); // only updateLanguage re-derives
    manager.updateLanguage();
    manager.updateLanguage();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("en"));

    manager.setAppLanguage(QStringLiteral("auto"));
    manager.updateLanguage();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("ru"));
}

void TestLocalization::languageChoiceIsStoredAndFollowed() {
    ConfigDir config;
    SettingsStore store(config.path());
    LocalizationManager manager(store, QStringLiteral("de"));
    QCOMPARE(manager.appLanguage(), QStringLiteral("auto"));
    QVERIFY(!store.contains(SettingKey::AppLanguage)); // creation writes nothing
    QSignalSpy chosen(&manager, &LocalizationManager::appLanguageChanged);
    QSignalSpy shown(&manager, &LocalizationManager::currentLanguageChanged);

    // Chosen in another Runeboard sharing the file: followed here at once.
    SettingsStore other(config.path());
    LocalizationManager(other, QStringLiteral("de")).setAppLanguage(QStringLiteral("ru"));
    QTRY_COMPARE(manager.currentLanguage(), QStringLiteral("ru"));
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(shown.count(), 1);
    QCOMPARE(LocalizationManager(other, QStringLiteral("de")).currentLanguage(), QStringLiteral("ru"));
}

QTEST_GUILESS_MAIN(TestLocalization)
#include "tst_localization.moc"
