#pragma once

#include "keyboard/view/KeyboardPresentation.h"
#include "keyboard/view/ShiftLatch.h"
#include "keyboard/view/layout/KeyboardLayout.h"
#include "keyboard/view/painting/KeyboardScene.h"
#include "keyboard/view/timing/ViewAnimation.h"

#include <QPainterPath>
#include <QStringList>

#include <functional>
#include <optional>

class KeyboardState;
class LocalizationManager;
class SetStore;

// Lays the keyboard out and says what is drawn at a moment: keys and buttons
// with their faces, labels and animated frames, the close button, the dots and
// the lifted key of a drag. It is handed what the managers and the view's editing
// state say, and the times; it keeps no widget and reads no clock.
class KeyboardSceneBuilder {
public:
    struct Input {
        KeyboardSize size = KeyboardSize::Compact;
        QStringList baseSymbols;
        QStringList customSymbols;
        bool separateCustomSymbols = true;
        bool shift = false; // labels in upper case
        bool shiftKey = false;
        ShiftLatch::State shiftLatch = ShiftLatch::Off;
        bool isAddingMode = false;
        int activeAddingSection = 1; // the section the add field opens in: the custom symbols
        bool isSavingSet = false;
        bool showSaveRow = false;
        QString saveTitle;
        QList<bool> activeDots; // one per set dot; fewer than two show none
        QStringList dotSetIDs;  // the quick-access sets the first dots stand for
        bool isReordering = false;
        std::optional<QString> draggedCharacter;
        bool draggedIsCustom = false;
    };
    // Natural width of a text at a pixel size and CSS-style weight, as the painter draws it.
    using Measure = std::function<qreal(const QString& text, qreal pixelSize, int weight)>;

    static constexpr int regularWeight = 400;
    static constexpr int mediumWeight = 500;
    static constexpr int semiboldWeight = 600;
    static constexpr int boldWeight = 700;

    // What the managers say is to be shown; the editing flags are left to the caller.
    static Input read(const KeyboardState& state, const SetStore& setStore,
                      const LocalizationManager& localizationManager);

    // Without a measure every label is taken to fit the key its rule gives it.
    explicit KeyboardSceneBuilder(Measure measure = {});

    // Lays out the new input and moves what is drawn towards it: under the
    // animation when there is one, at once otherwise.
    void update(const Input& input, const std::optional<ViewAnimation>& animation, qint64 now);
    const KeyboardLayout& layout() const { return m_layout; }
    const Input& input() const { return m_input; }

    KeyboardScene scene(qint64 now, bool translucent = true) const;
    // True while anything still moves (keys breathe for as long as reorder mode lasts).
    bool isAnimating(qint64 now) const;
    // Forgets elements that have finished leaving.
    void dropDeparted(qint64 now) { m_presentation.dropDeparted(now); }

    // The lifted key's centre ("keyboardGrid" space): it follows the pointer at
    // once, and glides onto its place under the settle spring when let go.
    void movePreview(const QPointF& centre);
    // False when the key is not shown.
    bool settlePreview(const QString& text, bool isCustom, qint64 now);

    // Where a text field (AddField or NameField) is drawn now, in view coordinates; empty when it is not.
    QRectF fieldFrame(KeyboardElementKind field, qint64 now) const;
    // The card with the close button and the dots.
    QPainterPath outline() const;
    bool closeButtonShown() const { return !m_input.isReordering; }

private:
    QList<KeyboardPresentation::Target> targets() const;
    ScenePiece keyPiece(const QString& text, bool isCustom) const;

    Measure m_measure;
    Input m_input;
    KeyboardLayout m_layout;
    KeyboardPresentation m_presentation;
    AnimatedValue m_closeOpacity{1, 0.002};
    AnimatedValue m_previewX{0, 0.05}, m_previewY{0, 0.05};
    qint64 m_pulseEpoch = 0;
};
