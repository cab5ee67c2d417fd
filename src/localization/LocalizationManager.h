#pragma once

#include "platform/UserText.h"

#include <QHash>
#include <QObject>
#include <QString>

class SettingsStore;

// The interface language and the English/Russian string table. Every view
// looks its texts up here, set names included; a text that is no key comes
// back unchanged.
class LocalizationManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString currentLanguage READ currentLanguage NOTIFY currentLanguageChanged)
    Q_PROPERTY(QString appLanguage READ appLanguage WRITE setAppLanguage NOTIFY appLanguageChanged)

public:
    // systemLanguage: the bare language code of the session ("ru", "de", …),
    // normally SystemLocale::languageCode().
    LocalizationManager(SettingsStore& store, QString systemLanguage, QObject* parent = nullptr);

    QString localized(const QString& key) const;
    // A sentence worded below the interface, in the interface language.
    QString text(const UserText& text) const;

    QString currentLanguage() const { return m_currentLanguage; }

    // The user's choice, "auto", "en" or "ru", stored under "appLanguage".
    QString appLanguage() const;
    void setAppLanguage(const QString& language);

Q_SIGNALS:
    void currentLanguageChanged(const QString& language);
    void appLanguageChanged();

private:
    // Re-derives the effective language; publishes only when it changes.
    void updateLanguage();
    QString effectiveLanguage() const;

    SettingsStore& m_store;
    QString m_systemLanguage;
    QString m_currentLanguage;
    QHash<QString, QHash<QString, QString>> m_translations;
};
