#include "LocalizationManager.h"

#include "localization/StringTable.h"
#include "storage/SettingsStore.h"

#include <utility>

namespace {
const QString autoLanguage = QStringLiteral("auto");
const QString english = QStringLiteral("en");
const QString russian = QStringLiteral("ru");
} // namespace

LocalizationManager::LocalizationManager(SettingsStore& store, QString systemLanguage, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_systemLanguage(std::move(systemLanguage))
    , m_currentLanguage(english) {
    QHash<QString, QString>& en = m_translations[english];
    QHash<QString, QString>& ru = m_translations[russian];
    for (const StringTable::Row& row : StringTable::rows()) {
        en.insert(row.key, row.english);
        ru.insert(row.key, row.russian);
    }
    m_currentLanguage = effectiveLanguage();
    // Chosen here or in another Runeboard sharing the file, the language follows at once.
    connect(&m_store, &SettingsStore::changed, this, [this](SettingKey key) {
        if (key != SettingKey::AppLanguage)
            return;
        Q_EMIT appLanguageChanged();
        updateLanguage();
    });
}

QString LocalizationManager::localized(const QString& key) const {
    const QHash<QString, QString>& englishTable = *m_translations.constFind(english);
    auto table = m_translations.constFind(m_currentLanguage);
    // A stored language code without a table of its own (say "kk") reads English.
    const QHash<QString, QString>& texts = table != m_translations.cend() ? *table : englishTable;
    if (auto text = texts.constFind(key); text != texts.cend())
        return *text;
    if (auto text = englishTable.constFind(key); text != englishTable.cend())
        return *text;
    // Set names chosen by the user are looked up too and come back as they are.
    return key;
}

QString LocalizationManager::text(const UserText& text) const {
    QString wording = localized(text.key);
    for (const QString& argument : text.arguments)
        wording = wording.arg(argument);
    return wording;
}

QString LocalizationManager::appLanguage() const {
    return m_store.text(SettingKey::AppLanguage);
}

void LocalizationManager::setAppLanguage(const QString& language) {
    m_store.setValue(SettingKey::AppLanguage, language);
}

void LocalizationManager::updateLanguage() {
    const QString language = effectiveLanguage();
    if (language == m_currentLanguage)
        return;
    m_currentLanguage = language;
    Q_EMIT currentLanguageChanged(m_currentLanguage);
}

QString LocalizationManager::effectiveLanguage() const {
    const QString choice = appLanguage();
    if (choice != autoLanguage)
        return choice;
    const QString system = m_systemLanguage.isEmpty() ? english : m_systemLanguage;
    return system == russian || system == QLatin1String("kk") ? russian : english;
}
