#include "SetStore.h"

#include "platform/Log.h"
#include "sets/PresetCatalogue.h"
#include "sets/SetMerge.h"
#include "storage/SettingsStore.h"

#include <algorithm>

SetStore::SetStore(SettingsStore& store, QString systemLanguage, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_systemLanguage(std::move(systemLanguage)) {
    SettingsStore::DataCodec codec;
    codec.check = [](const QByteArray& stored, QString* why) {
        return SymbolSet::decodeList(stored, why).has_value();
    };
    codec.merge = [](const std::optional<QByteArray>& base, const QByteArray& mine,
                     const QByteArray& theirs) {
        const auto decodedTheirs = SymbolSet::decodeList(theirs, nullptr);
        const auto decodedMine = SymbolSet::decodeList(mine, nullptr);
        if (!decodedTheirs || !decodedMine)
            return mine;
        const auto decodedBase = base ? SymbolSet::decodeList(*base, nullptr) : std::nullopt;
        return SymbolSet::encodeList(SetMerge::merged(decodedBase, *decodedMine, *decodedTheirs));
    };
    m_store.setCodec(SettingKey::SavedSymbolSets, codec);
    connect(&m_store, &SettingsStore::changed, this, &SetStore::takeStoredSets);
    loadSets();
}

void SetStore::replaceSets(const QList<SymbolSet>& sets) {
    assign(sets);
}

bool SetStore::updateSet(const SymbolSet& set) {
    QList<SymbolSet> sets = m_sets;
    for (SymbolSet& candidate : sets) {
        if (candidate.id == set.id) {
            candidate = set;
            assign(std::move(sets));
            return true;
        }
    }
    return false;
}

std::optional<SymbolSet> SetStore::find(const QUuid& id) const {
    for (const SymbolSet& candidate : m_sets) {
        if (candidate.id == id)
            return candidate;
    }
    return std::nullopt;
}

void SetStore::assign(QList<SymbolSet> sets) {
    if (m_isLoading) {
        // Nothing is written while loading (factory defaults live in memory until the first change).
        m_sets = std::move(sets);
        Q_EMIT setsChanged();
        return;
    }
    // The sets come back through the store's signal, as another process's do.
    m_store.setValue(SettingKey::SavedSymbolSets, SymbolSet::encodeList(sets));
}

void SetStore::loadSets() {
    m_isLoading = true;
    // Stored as another kind than data counts as absent; the store says so.
    const std::optional<QByteArray> stored = m_store.data(SettingKey::SavedSymbolSets);
    std::optional<QList<SymbolSet>> decoded;
    if (stored) {
        QString error;
        decoded = SymbolSet::decodeList(*stored, &error);
        if (!decoded) {
            Log::line(QStringLiteral("[SetStore] Failed to decode the stored sets: %1. Restoring factory "
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

void SetStore::takeStoredSets(SettingKey key) {
    if (key != SettingKey::SavedSymbolSets || m_isLoading)
        return;
    // Ours, or another Runeboard's merged with ours. Nothing stored (the file
    // removed) leaves the sets on screen; the next change writes them back.
    const std::optional<QByteArray> stored = m_store.data(key);
    const auto decoded = stored ? SymbolSet::decodeList(*stored, nullptr) : std::nullopt;
    if (!decoded || *decoded == m_sets)
        return;
    m_sets = *decoded;
    Q_EMIT setsChanged();
}

void SetStore::addSet(const SymbolSet& set) {
    QList<SymbolSet> sets = m_sets;
    sets.append(set);
    assign(std::move(sets));
}

void SetStore::deleteSet(const QUuid& id) {
    QList<SymbolSet> sets = m_sets;
    if (sets.removeIf([&id](const SymbolSet& p) { return p.id == id; }) > 0)
        assign(std::move(sets));
}

void SetStore::setMainSet(const QUuid& id) {
    QList<SymbolSet> sets = m_sets;
    for (SymbolSet& p : sets) {
        if (p.id == id) {
            p.isMain = true;
            p.isAdditional = false;
        } else {
            p.isMain = false;
        }
    }
    assign(std::move(sets));
}

void SetStore::toggleAdditional(const QUuid& id) {
    const auto found =
        std::find_if(m_sets.cbegin(), m_sets.cend(), [&id](const SymbolSet& p) { return p.id == id; });
    if (found == m_sets.cend())
        return;
    if (!found->isAdditional) {
        if (found->isMain)
            return;
        const auto additional =
            std::count_if(m_sets.cbegin(), m_sets.cend(), [](const SymbolSet& p) { return p.isAdditional; });
        if (additional >= 2)
            return;
    }
    QList<SymbolSet> sets = m_sets;
    SymbolSet& target = sets[found - m_sets.cbegin()];
    target.isAdditional = !target.isAdditional;
    assign(std::move(sets));
}

void SetStore::restoreFactoryDefaults() {
    QList<SymbolSet> sets = presetCatalogue();
    QString mainName;
    if (m_systemLanguage == QLatin1String("ru") || m_systemLanguage == QLatin1String("kk"))
        mainName = QStringLiteral("preset_kazakh_cyr");
    else if (m_systemLanguage == QLatin1String("tr"))
        mainName = QStringLiteral("preset_turkish");
    auto main = std::find_if(sets.begin(), sets.end(),
                             [&mainName](const SymbolSet& p) { return p.name == mainName; });
    if (main == sets.end())
        main = sets.begin();
    if (main != sets.end())
        main->isMain = true;
    assign(std::move(sets));
}

std::optional<SymbolSet> SetStore::mainSet() const {
    for (const SymbolSet& p : m_sets) {
        if (p.isMain)
            return p;
    }
    return std::nullopt;
}

QList<SymbolSet> SetStore::additionalSets() const {
    QList<SymbolSet> additional;
    for (const SymbolSet& p : m_sets) {
        if (p.isAdditional && additional.size() < 2)
            additional.append(p);
    }
    return additional;
}

QList<SymbolSet> SetStore::quickAccessSets() const {
    QList<SymbolSet> quick;
    if (const auto main = mainSet())
        quick.append(*main);
    quick.append(additionalSets());
    return quick;
}
