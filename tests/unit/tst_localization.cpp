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
    void languageChoiceIsStoredAndFollowed();
    void sentencesFromBelowAreWordedWithTheirValues_data();
    void sentencesFromBelowAreWordedWithTheirValues();
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
    row("auto is case-sensitive", "Auto", "ru", "Auto", "quit", "Quit");
    row("ru on a German system", "ru", "de", "ru", "preset_german", "Немецкий");
    row("kk stored: English texts", "kk", "ru", "kk", "preset_german", "German");
    row("user's set name", "ru", "ru", "ru", "Мои символы", "Мои символы");
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

void TestLocalization::languageChoiceIsStoredAndFollowed() {
    ConfigDir config;
    SettingsStore store(config.path());
    LocalizationManager manager(store, QStringLiteral("de"));
    QVERIFY(!store.contains(SettingKey::AppLanguage)); // creation writes nothing
    QSignalSpy shown(&manager, &LocalizationManager::currentLanguageChanged);

    // Chosen in another Runeboard sharing the file: followed here at once.
    SettingsStore other(config.path());
    LocalizationManager(other, QStringLiteral("de")).setAppLanguage(QStringLiteral("ru"));
    QTRY_COMPARE(manager.currentLanguage(), QStringLiteral("ru"));
    QCOMPARE(shown.count(), 1);

    // Back to the system's language: the choice alone is enough.
    manager.setAppLanguage(QStringLiteral("auto"));
    QCOMPARE(shown.count(), 2);
    QCOMPARE(manager.currentLanguage(), QStringLiteral("en"));
    QCOMPARE(store.text(SettingKey::AppLanguage), QStringLiteral("auto"));
}

void TestLocalization::sentencesFromBelowAreWordedWithTheirValues_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("worded");
    QTest::newRow("English") << "en"
                             << R"(Qt runs on its "offscreen" platform)";
    QTest::newRow("Russian") << "ru"
                             << "Qt работает на платформе «offscreen»";
}

void TestLocalization::sentencesFromBelowAreWordedWithTheirValues() {
    QFETCH(QString, language);
    QFETCH(QString, worded);
    ConfigDir config;
    SettingsStore store(config.path());
    store.setValue(SettingKey::AppLanguage, language);
    const LocalizationManager manager(store, QStringLiteral("de"));
    const QString text =
        manager.text({QStringLiteral("typing_qt_not_on_x11"), {QStringLiteral("offscreen")}});
    QVERIFY2(text.startsWith(worded), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestLocalization)
#include "tst_localization.moc"
