#include "PaletteManager.h"

#include "palettes/PaletteMerge.h"
#include "palettes/PresetCatalogue.h"
#include "platform/Log.h"
#include "storage/SettingsStore.h"

#include <algorithm>

PaletteManager::PaletteManager(SettingsStore& store, QString systemLanguage, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_systemLanguage(std::move(systemLanguage)) {
    SettingsStore::DataCodec codec;
    codec.check = [](const QByteArray& stored, QString* why) {
        return SymbolPalette::decodeList(stored, why).has_value();
    };
    codec.merge = [](const std::optional<QByteArray>& base, const QByteArray& mine,
                     const QByteArray& theirs) {
        const auto decodedTheirs = SymbolPalette::decodeList(theirs, nullptr);
        const auto decodedMine = SymbolPalette::decodeList(mine, nullptr);
        if (!decodedTheirs || !decodedMine)
            return mine;
        const auto decodedBase = base ? SymbolPalette::decodeList(*base, nullptr) : std::nullopt;
        return SymbolPalette::encodeList(PaletteMerge::merged(decodedBase, *decodedMine, *decodedTheirs));
    };
    m_store.setCodec(SettingKey::SavedSymbolPalettes, codec);
    connect(&m_store, &SettingsStore::changed, this, &PaletteManager::takeStoredSets);
    loadPalettes();
}

void PaletteManager::setPalettes(const QList<SymbolPalette>& palettes) {
    assign(palettes);
}

bool PaletteManager::updatePalette(const SymbolPalette& palette) {
    QList<SymbolPalette> palettes = m_palettes;
    for (SymbolPalette& candidate : palettes) {
        if (candidate.id == palette.id) {
            candidate = palette;
            assign(std::move(palettes));
            return true;
        }
    }
    return false;
}

std::optional<SymbolPalette> PaletteManager::palette(const QUuid& id) const {
    for (const SymbolPalette& candidate : m_palettes) {
        if (candidate.id == id)
            return candidate;
    }
    return std::nullopt;
}

void PaletteManager::assign(QList<SymbolPalette> palettes) {
    m_palettes = std::move(palettes);
    Q_EMIT palettesChanged();
    if (!m_isLoading)
        savePalettes();
}

void PaletteManager::loadPalettes() {
    m_isLoading = true;
    // Stored as another kind than data counts as absent; the store says so.
    const std::optional<QByteArray> stored = m_store.data(SettingKey::SavedSymbolPalettes);
    std::optional<QList<SymbolPalette>> decoded;
    if (stored) {
        QString error;
        decoded = SymbolPalette::decodeList(*stored, &error);
        if (!decoded) {
            Log::line(QStringLiteral("[PaletteManager] Failed to decode palettes: %1. Restoring factory "
                                     "defaults.")
                          .arg(error));
        }
    }
    if (decoded)
        assign(*decoded);
    else
        restoreFactoryDefaults();
    m_isLoading = false;
}

void PaletteManager::savePalettes() {
    m_store.setValue(SettingKey::SavedSymbolPalettes, SymbolPalette::encodeList(m_palettes));
}

void PaletteManager::takeStoredSets(SettingKey key, bool fromFile) {
    if (key != SettingKey::SavedSymbolPalettes || !fromFile || m_isLoading)
        return;
    // Another Runeboard's sets, merged with ours. Nothing stored (the file
    // removed) leaves the sets on screen; the next change writes them back.
    const std::optional<QByteArray> stored = m_store.data(key);
    const auto decoded = stored ? SymbolPalette::decodeList(*stored, nullptr) : std::nullopt;
    if (!decoded || *decoded == m_palettes)
        return;
    m_palettes = *decoded;
    Q_EMIT palettesChanged();
}

void PaletteManager::addPalette(const SymbolPalette& palette) {
    QList<SymbolPalette> palettes = m_palettes;
    palettes.append(palette);
    assign(std::move(palettes));
}

void PaletteManager::deletePalette(const QUuid& id) {
    QList<SymbolPalette> palettes = m_palettes;
    if (palettes.removeIf([&id](const SymbolPalette& p) { return p.id == id; }) > 0)
        assign(std::move(palettes));
}

void PaletteManager::setMainPalette(const QUuid& id) {
    QList<SymbolPalette> palettes = m_palettes;
    for (SymbolPalette& p : palettes) {
        if (p.id == id) {
            p.isMain = true;
            p.isAdditional = false;
        } else {
            p.isMain = false;
        }
    }
    assign(std::move(palettes));
}

void PaletteManager::toggleAdditional(const QUuid& id) {
    const auto found = std::find_if(m_palettes.cbegin(), m_palettes.cend(),
                                    [&id](const SymbolPalette& p) { return p.id == id; });
    if (found == m_palettes.cend())
        return;
    if (!found->isAdditional) {
        if (found->isMain)
            return;
        const auto additional = std::count_if(m_palettes.cbegin(), m_palettes.cend(),
                                              [](const SymbolPalette& p) { return p.isAdditional; });
        if (additional >= 2)
            return;
    }
    QList<SymbolPalette> palettes = m_palettes;
    SymbolPalette& target = palettes[found - m_palettes.cbegin()];
    target.isAdditional = !target.isAdditional;
    assign(std::move(palettes));
    // Written even while loading.
    savePalettes();
}

void PaletteManager::restoreFactoryDefaults() {
    QList<SymbolPalette> palettes = presetCatalogue();
    QString mainName;
    if (m_systemLanguage == QLatin1String("ru") || m_systemLanguage == QLatin1String("kk"))
        mainName = QStringLiteral("preset_kazakh_cyr");
    else if (m_systemLanguage == QLatin1String("tr"))
        mainName = QStringLiteral("preset_turkish");
    auto main = std::find_if(palettes.begin(), palettes.end(),
                             [&mainName](const SymbolPalette& p) { return p.name == mainName; });
    if (main == palettes.end())
        main = palettes.begin();
    if (main != palettes.end())
        main->isMain = true;
    assign(std::move(palettes));
}

std::optional<SymbolPalette> PaletteManager::mainPalette() const {
    for (const SymbolPalette& p : m_palettes) {
        if (p.isMain)
            return p;
    }
    return std::nullopt;
}

QList<SymbolPalette> PaletteManager::additionalPalettes() const {
    QList<SymbolPalette> additional;
    for (const SymbolPalette& p : m_palettes) {
        if (p.isAdditional && additional.size() < 2)
            additional.append(p);
    }
    return additional;
}

QList<SymbolPalette> PaletteManager::quickAccessPalettes() const {
    QList<SymbolPalette> quick;
    if (const auto main = mainPalette())
        quick.append(*main);
    quick.append(additionalPalettes());
    return quick;
}
