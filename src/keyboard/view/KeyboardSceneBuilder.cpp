#include "KeyboardSceneBuilder.h"

#include "keyboard/KeyboardState.h"
#include "keyboard/view/painting/ContinuousCorners.h"
#include "localization/LocalizationManager.h"
#include "sets/SetStore.h"

#include <QHash>

namespace {
// The add key adds custom symbols: its field opens in the custom section.
} // namespace

KeyboardSceneBuilder::KeyboardSceneBuilder(Measure measure)
    : m_measure(std::move(measure)) {}

KeyboardSceneBuilder::Input KeyboardSceneBuilder::read(const KeyboardState& state, const SetStore& setStore,
                                                       const LocalizationManager& localizationManager) {
    const bool customActive = state.isUnsavedSetActive();
    const SymbolSet set = state.activeSet();
    Input in;
    in.size = state.keyboardSize();
    in.baseSymbols = set.baseSymbols();
    in.customSymbols = set.customSymbols();
    in.separateCustomSymbols = state.separateCustomSymbols();
    in.shift = state.isShiftPressed();
    in.shiftKey = state.offersShiftKey();
    in.showSaveRow = customActive && !state.temporaryCustomCharacters().isEmpty();
    in.saveTitle = localizationManager.localized(QStringLiteral("save_palette"));
    // The dots name the quick-access sets as they are now, plus the unsaved set when it is shown.
    const QString activeID = state.activeSetId();
    for (const SymbolSet& p : setStore.quickAccessSets()) {
        in.dotSetIDs.append(p.idText());
        in.activeDots.append(!customActive && p.idText() == activeID);
    }
    if (customActive)
        in.activeDots.append(true);
    return in;
}

void KeyboardSceneBuilder::update(const Input& input, const std::optional<ViewAnimation>& animation,
                                  qint64 now) {
    // Keys breathe in step from the moment reorder mode begins.
    if (input.isReordering != m_input.isReordering)
        m_pulseEpoch = now;
    m_input = input;

    const KeyboardMetrics m = KeyboardMetrics::forSize(input.size);
    KeyboardLayoutInput in;
    in.size = input.size;
    in.baseSymbols = input.baseSymbols;
    in.customSymbols = input.customSymbols;
    in.separateCustomSymbols = input.separateCustomSymbols;
    in.isAddingMode = input.isAddingMode;
    in.activeAddingSection = input.isAddingMode ? input.activeAddingSection : 0;
    in.showSaveRow = input.showSaveRow;
    in.isSavingSet = input.isSavingSet;
    in.dotCount = input.activeDots.size() >= 2 ? int(input.activeDots.size()) : 0;
    in.shiftKey = input.shiftKey;
    if (m_measure) {
        in.saveTitleWidth = m_measure(input.saveTitle, m.fontSize * 0.85, mediumWeight);
        in.labelWidth = [measure = m_measure, shift = input.shift](const QString& label, qreal pixelSize) {
            return measure(shift ? label.toUpper() : label, pixelSize, regularWeight);
        };
    }
    m_layout = KeyboardLayout::compute(in);

    m_presentation.apply(targets(), animation, now, m_pulseEpoch);
    m_closeOpacity.set(closeButtonShown() ? 1 : 0, animation, now);
}

QList<KeyboardPresentation::Target> KeyboardSceneBuilder::targets() const {
    using T = KeyboardPresentation::Transition;
    QList<KeyboardPresentation::Target> targets;
    QHash<QString, int> seen;
    const bool reordering = m_input.isReordering;
    for (const KeyboardElement& e : m_layout.elements()) {
        KeyboardPresentation::Target t;
        t.element = e;
        switch (e.kind) {
        case KeyboardElementKind::Key: {
            t.id = KeyboardLayout::frameIdentifier(e.text, e.isCustom);
            if (const int n = seen[t.id]++; n > 0)
                t.id += QStringLiteral("#%1").arg(n); // the same text twice in a list
            const bool dragged = m_input.draggedCharacter == e.text && m_input.draggedIsCustom == e.isCustom;
            t.opacity = dragged ? 0 : 1;
            t.scale = reordering && !dragged ? 0.92 : 1;
            t.pulse = reordering && !dragged;
            break;
        }
        case KeyboardElementKind::AddKey:
            t.id = QStringLiteral("add");
            t.opacity = reordering ? 0.3 : 1;
            t.transition = T::ScaleFade;
            break;
        case KeyboardElementKind::ShiftKey:
            t.id = QStringLiteral("shift");
            t.opacity = reordering ? 0.3 : 1;
            t.transition = T::ScaleFade;
            break;
        case KeyboardElementKind::SaveButton:
            t.id = QStringLiteral("save");
            t.transition = T::ScaleFade;
            break;
        default:
            t.id = QStringLiteral("field%1").arg(int(e.kind));
            t.transition = T::SlideFade;
            break;
        }
        targets.append(t);
    }
    return targets;
}

ScenePiece KeyboardSceneBuilder::keyPiece(const QString& text, bool isCustom) const {
    const KeyboardMetrics& m = m_layout.metrics();
    ScenePiece piece;
    piece.face = BevelBackground{m.keyRadius, m.bevelWidth};
    piece.face.isCustom = isCustom;
    // Full case mapping: one character may become several (ß shows SS).
    piece.text = m_input.shift ? text.toUpper() : text;
    piece.textSize = KeyboardLayout::labelFontSize(text, m);
    piece.weight = regularWeight;
    return piece;
}

KeyboardScene KeyboardSceneBuilder::scene(qint64 now, bool translucent) const {
    const KeyboardMetrics& m = m_layout.metrics();
    KeyboardScene s;
    s.metrics = m;
    s.card = m_layout.card();
    s.translucent = translucent;
    s.closeButton = m_layout.closeButton();
    s.closeOpacity = m_closeOpacity.value(now);
    s.dots = m_layout.dots();
    if (!s.dots.isEmpty())
        s.activeDots = m_input.activeDots;

    const BevelBackground plain{m.keyRadius, m.bevelWidth};
    for (const KeyboardPresentation::Presented& p : m_presentation.at(now)) {
        const KeyboardElement& e = p.element;
        ScenePiece piece;
        piece.face = plain;
        switch (e.kind) {
        case KeyboardElementKind::Key:
            piece = keyPiece(e.text, e.isCustom);
            break;
        case KeyboardElementKind::AddKey:
            piece.face.isBlue = true;
            piece.content = ScenePiece::Content::Plus;
            piece.textSize = m.fontSize * 0.8;
            piece.weight = semiboldWeight;
            break;
        case KeyboardElementKind::ShiftKey:
            // Blue while it shifts; a lock shows its bar.
            piece.face.isBlue = m_input.shiftLatch != ShiftLatch::Off;
            piece.content = m_input.shiftLatch == ShiftLatch::Locked ? ScenePiece::Content::ShiftLock
                                                                     : ScenePiece::Content::Shift;
            piece.textSize = m.fontSize * 0.8;
            piece.weight = semiboldWeight;
            break;
        case KeyboardElementKind::SaveButton:
            piece.face.isBlue = true;
            piece.content = ScenePiece::Content::Title;
            piece.text = m_input.saveTitle;
            piece.textSize = m.fontSize * 0.85;
            piece.weight = mediumWeight;
            break;
        case KeyboardElementKind::AddField:
        case KeyboardElementKind::NameField:
            piece.face.isCustom = true;
            piece.content = ScenePiece::Content::None;
            break;
        case KeyboardElementKind::AddConfirm:
        case KeyboardElementKind::NameConfirm:
            piece.face.isBlue = true;
            piece.content = ScenePiece::Content::Checkmark;
            piece.textSize = m.fontSize * 0.7;
            piece.weight = boldWeight;
            break;
        case KeyboardElementKind::AddCancel:
        case KeyboardElementKind::NameCancel:
            piece.face.isGlass = true;
            piece.content = ScenePiece::Content::Cross;
            piece.textSize = m.fontSize * 0.7;
            piece.weight = boldWeight;
            break;
        }
        piece.rect = m_layout.toView(e.frame);
        piece.opacity = p.opacity;
        piece.scale = p.scale;
        piece.offset = QPointF(p.offsetX, 0);
        s.pieces.append(piece);
    }

    if (const std::optional<QString>& dragged = m_input.draggedCharacter) {
        // The lifted key: over the others, a little larger, casting a deeper shadow.
        ScenePiece preview = keyPiece(*dragged, m_input.draggedIsCustom);
        qreal width = KeyboardLayout::keyWidth(*dragged, m);
        if (m_measure)
            width = std::max(width, m_measure(preview.text, preview.textSize, regularWeight));
        const QPointF centre =
            m_layout.toView(QRectF(m_previewX.value(now), m_previewY.value(now), 0, 0)).topLeft();
        preview.rect = QRectF(centre.x() - width / 2, centre.y() - m.keySize / 2, width, m.keySize);
        preview.scale = 1.05;
        preview.extraShadow = DropShadow::dragPreview();
        s.preview = preview;
    }
    return s;
}

bool KeyboardSceneBuilder::isAnimating(qint64 now) const {
    return m_presentation.isMoving(now) || m_closeOpacity.isMoving(now) || m_previewX.isMoving(now) ||
           m_previewY.isMoving(now);
}

void KeyboardSceneBuilder::movePreview(const QPointF& centre) {
    m_previewX.jump(centre.x());
    m_previewY.jump(centre.y());
}

bool KeyboardSceneBuilder::settlePreview(const QString& text, bool isCustom, qint64 now) {
    // The frames as the keys report them: of a text shown twice, the later one.
    const QHash<QString, QRectF> frames = m_layout.buttonFrames();
    const auto frame = frames.constFind(KeyboardLayout::frameIdentifier(text, isCustom));
    if (frame == frames.constEnd())
        return false;
    m_previewX.set(frame->center().x(), ViewAnimation::settleSpring(), now);
    m_previewY.set(frame->center().y(), ViewAnimation::settleSpring(), now);
    return true;
}

QRectF KeyboardSceneBuilder::fieldFrame(KeyboardElementKind field, qint64 now) const {
    QRectF frame;
    for (const KeyboardPresentation::Presented& p : m_presentation.at(now))
        if (!p.leaving && p.element.kind == field)
            frame = m_layout.toView(p.element.frame).translated(p.offsetX, 0);
    return frame;
}

QPainterPath KeyboardSceneBuilder::outline() const {
    QPainterPath path = continuousRoundedRect(m_layout.card(), m_layout.metrics().cardRadius);
    QPainterPath overlays;
    overlays.addEllipse(m_layout.closeButton());
    for (const QRectF& dot : m_layout.dots())
        overlays.addEllipse(dot);
    return path.united(overlays);
}
