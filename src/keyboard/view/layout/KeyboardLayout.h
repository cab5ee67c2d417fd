#pragma once

#include "keyboard/view/painting/KeyboardMetrics.h"

#include <QHash>
#include <QList>
#include <QRectF>
#include <QStringList>

#include <functional>

// What the keyboard view shows, decided from the managers and its own editing
// state; everything the layout needs and nothing it does not.
struct KeyboardLayoutInput {
    KeyboardSize size = KeyboardSize::Compact;
    QStringList baseSymbols;
    QStringList customSymbols;
    bool separateCustomSymbols = true;
    bool isAddingMode = false;
    int activeAddingSection = 0;
    bool showSaveRow = false;
    bool isSavingSet = false;
    // Width of the save button's title (measured by the caller with its font).
    qreal saveTitleWidth = 0;
    // Number of set dots (quick-access sets plus the unsaved set); fewer than two show none.
    int dotCount = 0;
    // The keyboard's own Shift key, after the add element, where the physical
    // one cannot be followed; never beside a lone add key.
    bool shiftKey = false;
    // Natural width of a key label at a pixel size; a label wider than the
    // key's rule widens the key. Optional.
    std::function<qreal(const QString& label, qreal pixelSize)> labelWidth;
};

enum class KeyboardElementKind {
    Key,
    AddKey,
    AddField,
    AddConfirm,
    AddCancel,
    SaveButton,
    NameField,
    NameConfirm,
    NameCancel,
    ShiftKey,
};

struct KeyboardElement {
    KeyboardElementKind kind = KeyboardElementKind::Key;
    QRectF frame; // in the "keyboardGrid" space
    QString text; // the key's symbol
    bool isCustom = false;
    int index = -1; // position in its list (keys only)
};

// What lies under a point of the view, front to back.
struct KeyboardHit {
    enum Kind { Nothing, Background, CloseButton, Dot, Element };
    Kind kind = Nothing;
    int index = -1; // dot number, or position in elements()
    bool operator==(const KeyboardHit&) const = default;
};

// Every rectangle of the keyboard view for one state, in pixels: the card
// sized to its content, the key area and save row in the "keyboardGrid" space
// (the card without its inner padding), the close button and the set dots.
class KeyboardLayout {
public:
    static KeyboardLayout compute(const KeyboardLayoutInput& input);

    // Width of a key by the rule alone, and the pixel size of its label.
    static qreal keyWidth(const QString& text, const KeyboardMetrics& metrics);
    static qreal labelFontSize(const QString& text, const KeyboardMetrics& metrics);
    // Frame identifier of a key: "b:" or "c:" followed by its text.
    static QString frameIdentifier(const QString& text, bool isCustom);

    const KeyboardMetrics& metrics() const { return m_metrics; }
    // The whole view: card plus the transparent margin.
    QSizeF size() const { return m_size; }
    QRectF card() const { return m_card; }
    // Origin of the "keyboardGrid" space in view coordinates.
    QPointF gridOrigin() const { return m_gridOrigin; }
    QRectF toView(const QRectF& gridRect) const { return gridRect.translated(m_gridOrigin); }
    QPointF toGrid(const QPointF& viewPoint) const { return viewPoint - m_gridOrigin; }

    const QList<KeyboardElement>& elements() const { return m_elements; }
    // The first element of that kind, or null.
    const KeyboardElement* element(KeyboardElementKind kind) const;
    // The key with that text in its list, or null.
    const KeyboardElement* key(const QString& text, bool isCustom) const;
    QRectF closeButton() const { return m_closeButton; }
    const QList<QRectF>& dots() const { return m_dots; }

    // Frame of every key under its frame identifier, in the "keyboardGrid" space; of a text shown
    // twice in its list, the later one.
    QHash<QString, QRectF> buttonFrames() const;

    // Keys and buttons are hit by their rectangle, the close button and the dots
    // by their circle, the card by its rounded outline.
    KeyboardHit hitTest(const QPointF& viewPoint, bool closeButtonShown) const;

private:
    KeyboardMetrics m_metrics{};
    QSizeF m_size;
    QRectF m_card;
    QPointF m_gridOrigin;
    QList<KeyboardElement> m_elements;
    QRectF m_closeButton;
    QList<QRectF> m_dots;
};
