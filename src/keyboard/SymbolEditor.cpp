#include "SymbolEditor.h"

#include "keyboard/KeyboardState.h"
#include "palettes/PaletteManager.h"
#include "palettes/SymbolPalette.h"

QString SymbolEditor::cleanedSymbol(const QString& typed) {
    QString symbol;
    symbol.reserve(typed.size());
    for (QChar c : typed)
        if (c.category() != QChar::Other_Control)
            symbol.append(c);
    return symbol.trimmed();
}

QString SymbolEditor::leftGraphemes(const QString& text, int count) {
    return SymbolPalette::graphemes(text).mid(0, count).join(QString());
}

void SymbolEditor::appendSymbol(const QString& symbol) {
    if (symbol.isEmpty())
        return;
    if (m_state.isCustomPaletteActive()) {
        m_state.setTemporaryCustomCharacters(
            SymbolPalette::appendingCustomSymbol(m_state.temporaryCustomCharacters(), symbol));
        return;
    }
    std::optional<SymbolPalette> set = m_palettes.palette(m_state.activePalette().id);
    if (!set)
        return;
    set->customCharacters = SymbolPalette::appendingCustomSymbol(set->customCharacters, symbol);
    set->isSystem = false;
    m_palettes.updatePalette(*set);
}

std::optional<QUuid> SymbolEditor::saveUnsavedSet(const QString& name) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    SymbolPalette set;
    set.id = QUuid::createUuid();
    set.name = trimmed;
    set.customCharacters = m_state.temporaryCustomCharacters();
    m_palettes.addPalette(set);
    m_state.setActivePaletteID(set.idText());
    m_state.setTemporaryCustomCharacters(QString());
    return set.id;
}

void SymbolEditor::deleteSymbol(const QString& text) {
    const SymbolPalette active = m_state.activePalette();
    QStringList custom = active.customSymbols();
    if (const qsizetype i = custom.indexOf(text); i >= 0) {
        custom.removeAt(i);
        writeCustomCharacters(active.id, SymbolPalette::joinedCustomSymbols(custom));
        return;
    }
    QStringList base = active.baseSymbols();
    if (const qsizetype i = base.indexOf(text); i >= 0) {
        base.removeAt(i);
        writeBaseCharacters(active.id, base.join(QString()));
    }
}

void SymbolEditor::moveSymbol(QStringList list, int from, int to, bool isCustom) {
    if (from < 0 || from >= list.size() || to < 0 || to >= list.size() || from == to)
        return;
    list.insert(to, list.takeAt(from));
    const QString value = isCustom ? SymbolPalette::joinedCustomSymbols(list) : list.join(QString());
    // The unsaved set is not in the store; its keys move all the same.
    if (isCustom && m_state.isCustomPaletteActive()) {
        writeCustomCharacters(customPaletteID, value);
        return;
    }
    const QUuid id = m_state.activePalette().id;
    if (!m_palettes.palette(id))
        return;
    if (isCustom)
        writeCustomCharacters(id, value);
    else
        writeBaseCharacters(id, value);
}

bool SymbolEditor::moveDraggedSymbol(const QString& text, bool isCustom, const QPointF& location,
                                     const QHash<QString, QRectF>& buttonFrames) {
    const SymbolPalette active = m_state.activePalette();
    const QStringList list = isCustom ? active.customSymbols() : active.baseSymbols();
    const qsizetype from = list.indexOf(text);
    if (from < 0)
        return false;
    const QString prefix = isCustom ? QStringLiteral("c:") : QStringLiteral("b:");
    for (auto it = buttonFrames.constBegin(); it != buttonFrames.constEnd(); ++it) {
        if (!it.key().startsWith(prefix))
            continue;
        const QString target = it.key().mid(2);
        if (target == text || !it.value().contains(location))
            continue;
        const qsizetype to = list.indexOf(target);
        if (to >= 0) {
            moveSymbol(list, int(from), int(to), isCustom);
            return true;
        }
    }
    return false;
}

void SymbolEditor::writeCustomCharacters(const QUuid& setID, const QString& value) {
    if (setID == customPaletteID || m_state.activePaletteID() == KeyboardState::customEmptyID) {
        m_state.setTemporaryCustomCharacters(value);
        return;
    }
    std::optional<SymbolPalette> set = m_palettes.palette(setID);
    if (!set)
        return;
    set->customCharacters = value;
    m_palettes.updatePalette(*set);
}

void SymbolEditor::writeBaseCharacters(const QUuid& setID, const QString& value) {
    std::optional<SymbolPalette> set = m_palettes.palette(setID);
    if (!set)
        return;
    set->baseCharacters = value;
    set->isSystem = false;
    m_palettes.updatePalette(*set);
}
