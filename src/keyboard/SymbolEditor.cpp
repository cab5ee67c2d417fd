#include "SymbolEditor.h"

#include "keyboard/KeyboardState.h"
#include "sets/SetStore.h"
#include "sets/SymbolSet.h"
#include "sets/UnsavedSet.h"

QString SymbolEditor::cleanedSymbol(const QString& typed) {
    QString symbol;
    symbol.reserve(typed.size());
    for (QChar c : typed)
        if (c.category() != QChar::Other_Control)
            symbol.append(c);
    return symbol.trimmed();
}

QString SymbolEditor::leftGraphemes(const QString& text, int count) {
    return SymbolSet::graphemes(text).mid(0, count).join(QString());
}

void SymbolEditor::appendSymbol(const QString& symbol) {
    if (symbol.isEmpty())
        return;
    if (m_state.isUnsavedSetActive()) {
        m_state.setTemporaryCustomCharacters(
            SymbolSet::appendingCustomSymbol(m_state.temporaryCustomCharacters(), symbol));
        return;
    }
    std::optional<SymbolSet> set = m_sets.find(m_state.activeSet().id);
    if (!set)
        return;
    set->customCharacters = SymbolSet::appendingCustomSymbol(set->customCharacters, symbol);
    set->isSystem = false;
    m_sets.updateSet(*set);
}

std::optional<QUuid> SymbolEditor::saveUnsavedSet(const QString& name) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    SymbolSet set;
    set.id = QUuid::createUuid();
    set.name = trimmed;
    set.customCharacters = m_state.temporaryCustomCharacters();
    m_sets.addSet(set);
    m_state.setActiveSetId(set.idText());
    m_state.setTemporaryCustomCharacters(QString());
    return set.id;
}

void SymbolEditor::deleteSymbol(const QString& text) {
    const SymbolSet active = m_state.activeSet();
    QStringList custom = active.customSymbols();
    if (const qsizetype i = custom.indexOf(text); i >= 0) {
        custom.removeAt(i);
        writeCustomCharacters(active.id, SymbolSet::joinedCustomSymbols(custom));
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
    const QString value = isCustom ? SymbolSet::joinedCustomSymbols(list) : list.join(QString());
    // The unsaved set is not in the store; its keys move all the same.
    if (isCustom && m_state.isUnsavedSetActive()) {
        writeCustomCharacters(UnsavedSet::id, value);
        return;
    }
    const QUuid id = m_state.activeSet().id;
    if (!m_sets.find(id))
        return;
    if (isCustom)
        writeCustomCharacters(id, value);
    else
        writeBaseCharacters(id, value);
}

bool SymbolEditor::moveDraggedSymbol(const QString& text, bool isCustom, const QPointF& location,
                                     const QHash<QString, QRectF>& buttonFrames) {
    const SymbolSet active = m_state.activeSet();
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
    if (setID == UnsavedSet::id || m_state.activeSetId() == UnsavedSet::startedEmpty) {
        m_state.setTemporaryCustomCharacters(value);
        return;
    }
    std::optional<SymbolSet> set = m_sets.find(setID);
    if (!set)
        return;
    set->customCharacters = value;
    m_sets.updateSet(*set);
}

void SymbolEditor::writeBaseCharacters(const QUuid& setID, const QString& value) {
    std::optional<SymbolSet> set = m_sets.find(setID);
    if (!set)
        return;
    set->baseCharacters = value;
    set->isSystem = false;
    m_sets.updateSet(*set);
}
