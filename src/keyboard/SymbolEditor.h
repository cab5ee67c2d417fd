#pragma once

#include <QHash>
#include <QRectF>
#include <QStringList>
#include <QUuid>

#include <optional>

class KeyboardState;
class SetStore;

// The changes the keyboard's editing gestures make to the active set: adding
// a symbol, saving the unsaved set under a name, moving and deleting keys.
// Stored sets are changed through the store (which saves them); the unsaved
// set lives in the keyboard state's temporary characters.
class SymbolEditor {
public:
    SymbolEditor(KeyboardState& state, SetStore& setStore)
        : m_state(state)
        , m_sets(setStore) {}

    // The text of the add field as a symbol: control characters dropped (a
    // pasted separator would split it, others are invisible), then trimmed.
    // Empty means there is nothing to add.
    static QString cleanedSymbol(const QString& typed);
    // The first `count` grapheme clusters of a text.
    static QString leftGraphemes(const QString& text, int count);

    // Appends one custom symbol to the active set; a set that is gone is left alone.
    void appendSymbol(const QString& symbol);
    // Stores the unsaved set under the trimmed name, makes it active and empties
    // the temporary characters. Nothing for a blank name.
    std::optional<QUuid> saveUnsavedSet(const QString& name);

    // Removes the first custom symbol equal to the text, or else the first equal base character.
    void deleteSymbol(const QString& text);
    // Moves list[from] so that it lands at index `to`, and writes the list to the active set.
    void moveSymbol(QStringList list, int from, int to, bool isCustom);
    // The move a drag of the key at `location` ("keyboardGrid" space) makes: over
    // another key of the same kind, the dragged key takes that key's place. False when nothing moved.
    bool moveDraggedSymbol(const QString& text, bool isCustom, const QPointF& location,
                           const QHash<QString, QRectF>& buttonFrames);

    void writeCustomCharacters(const QUuid& setID, const QString& value);
    void writeBaseCharacters(const QUuid& setID, const QString& value);

private:
    KeyboardState& m_state;
    SetStore& m_sets;
};
