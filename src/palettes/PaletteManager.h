#pragma once

#include "palettes/SymbolPalette.h"
#include "storage/SettingsTable.h"

#include <QObject>

class SettingsStore;

// The ordered list of symbol sets, loaded at construction and written back
// (under "savedSymbolPalettes__v2") after every change. Its operations keep
// the rules: at most one main set, at most two additional sets, the main set
// never additional. What another Runeboard changes in the file is taken in
// set by set (PaletteMerge).
class PaletteManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<SymbolPalette> palettes READ palettes WRITE setPalettes NOTIFY palettesChanged)

public:
    static inline const QString storageKey{SettingsTable::row(SettingKey::SavedSymbolPalettes).name};

    // systemLanguage chooses the main set of the factory defaults ("tr" Turkish,
    // "ru"/"kk" Kazakh Cyrillic, any other the first set).
    PaletteManager(SettingsStore& store, QString systemLanguage, QObject* parent = nullptr);

    const QList<SymbolPalette>& palettes() const { return m_palettes; }
    // Every assignment publishes and saves (unless loading).
    void setPalettes(const QList<SymbolPalette>& palettes);
    // Replaces the first set with the same identifier; false when there is none.
    bool updatePalette(const SymbolPalette& palette);
    // The first set with this identifier.
    std::optional<SymbolPalette> palette(const QUuid& id) const;

    bool isLoading() const { return m_isLoading; }

    void loadPalettes();
    void savePalettes();
    void addPalette(const SymbolPalette& palette);
    void deletePalette(const QUuid& id);
    void setMainPalette(const QUuid& id);
    void toggleAdditional(const QUuid& id);
    void restoreFactoryDefaults();

    std::optional<SymbolPalette> mainPalette() const;
    QList<SymbolPalette> additionalPalettes() const;
    QList<SymbolPalette> quickAccessPalettes() const;

Q_SIGNALS:
    void palettesChanged();

private:
    void assign(QList<SymbolPalette> palettes);
    void takeStoredSets(SettingKey key, bool fromFile);

    SettingsStore& m_store;
    QString m_systemLanguage;
    QList<SymbolPalette> m_palettes;
    bool m_isLoading = false;
};
