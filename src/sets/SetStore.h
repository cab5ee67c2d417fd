#pragma once

#include "sets/SymbolSet.h"
#include "storage/SettingsTable.h"

#include <QObject>

class SettingsStore;

// The ordered list of symbol sets, loaded at construction and written back
// (under "savedSymbolPalettes__v2") after every change. Its operations keep
// the rules: at most one main set, at most two additional sets, the main set
// never additional. What another Runeboard changes in the file is taken in
// set by set (SetMerge).
class SetStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<SymbolSet> sets READ sets WRITE replaceSets NOTIFY setsChanged)

public:
    static inline const QString storageKey{SettingsTable::row(SettingKey::SavedSymbolSets).name};

    // systemLanguage chooses the main set of the factory defaults ("tr" Turkish,
    // "ru"/"kk" Kazakh Cyrillic, any other the first set).
    SetStore(SettingsStore& store, QString systemLanguage, QObject* parent = nullptr);

    const QList<SymbolSet>& sets() const { return m_sets; }
    // Every assignment publishes and saves (unless loading).
    void replaceSets(const QList<SymbolSet>& sets);
    // Replaces the first set with the same identifier; false when there is none.
    bool updateSet(const SymbolSet& set);
    // The first set with this identifier.
    std::optional<SymbolSet> find(const QUuid& id) const;

    void loadSets();
    void addSet(const SymbolSet& set);
    void deleteSet(const QUuid& id);
    void setMainSet(const QUuid& id);
    void toggleAdditional(const QUuid& id);
    void restoreFactoryDefaults();

    std::optional<SymbolSet> mainSet() const;
    QList<SymbolSet> additionalSets() const;
    QList<SymbolSet> quickAccessSets() const;

Q_SIGNALS:
    void setsChanged();

private:
    void assign(QList<SymbolSet> sets);
    void takeStoredSets(SettingKey key);

    SettingsStore& m_store;
    QString m_systemLanguage;
    QList<SymbolSet> m_sets;
    bool m_isLoading = false;
};
