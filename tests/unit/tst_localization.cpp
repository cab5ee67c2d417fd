#include "ConfigDir.h"
#include "DataRows.h"
#include "localization/LocalizationManager.h"
#include "storage/SettingsStore.h"

#include <QSignalSpy>
#include <QTest>

class TestLocalization : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void languageAndLookup_data() {
        // stored empty: nothing stored
        stringRows({"stored", "system", "expectedLanguage", "key", "text"},
                   {{"nothing stored, Kazakh system", "", "kk", "ru", "quit", "Выход"},
                    {"auto, German system", "auto", "de", "en", "quit", "Quit"},
                    {"ru on a German system", "ru", "de", "ru", "preset_german", "Немецкий"},
                    {"kk stored: English texts", "kk", "ru", "kk", "preset_german", "German"},
                    {"user's set name", "ru", "ru", "ru", "Мои символы", "Мои символы"}});
    }

    void languageAndLookup() {
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

    void languageChoiceIsStoredAndFollowed() {
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

    void sentencesFromBelowAreWordedWithTheirValues_data() {
        stringRows({"language", "worded"}, {{"English", "en", R"(Qt runs on its "offscreen" platform)"},
                                            {"Russian", "ru", "Qt работает на платформе «offscreen»"}});
    }

    void sentencesFromBelowAreWordedWithTheirValues() {
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
};

QTEST_GUILESS_MAIN(TestLocalization)
#include "tst_localization.moc"
