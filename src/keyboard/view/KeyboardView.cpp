#include "KeyboardView.h"

#include "keyboard/InputInjector.h"
#include "keyboard/KeyboardState.h"
#include "keyboard/view/ContinuousCorners.h"
#include "localization/LocalizationManager.h"
#include "palettes/PaletteManager.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {
constexpr int regularWeight = 400;
constexpr int mediumWeight = 500;
constexpr int semiboldWeight = 600;
constexpr int boldWeight = 700;
} // namespace

KeyboardView::KeyboardView(KeyboardState& state, PaletteManager& paletteManager,
                           LocalizationManager& localizationManager, InputInjector& injector, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_paletteManager(paletteManager)
    , m_localization(localizationManager)
    , m_injector(injector) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&m_state, &KeyboardState::changed, this, &KeyboardView::rebuild);
    connect(&m_paletteManager, &PaletteManager::palettesChanged, this, &KeyboardView::rebuild);
    connect(&m_localization, &LocalizationManager::currentLanguageChanged, this, &KeyboardView::rebuild);
    rebuild();
}

KeyboardView::~KeyboardView() = default;

KeyboardLayoutInput KeyboardView::layoutInput() const {
    const SymbolPalette palette = m_state.activePalette();
    const KeyboardMetrics m = KeyboardMetrics::forSize(m_state.keyboardSize());
    KeyboardLayoutInput in;
    in.size = m_state.keyboardSize();
    in.baseSymbols = palette.baseSymbols();
    in.customSymbols = palette.customSymbols();
    in.separateCustomSymbols = m_state.separateCustomSymbols();
    in.isAddingMode = m_isAddingMode;
    in.activeAddingSection = m_activeAddingSection;
    in.showSaveRow = m_state.isCustomPaletteActive() && !m_state.temporaryCustomCharacters().isEmpty();
    in.isSavingPalette = m_isSavingPalette;
    const qreal dpi = logicalDpiY();
    in.saveTitleWidth = QFontMetricsF(KeyboardPainter::font(m.fontSize * 0.85, mediumWeight, dpi))
                            .horizontalAdvance(m_saveTitle);
    const bool shift = m_state.isShiftPressed();
    in.labelWidth = [dpi, shift](const QString& label, qreal pixelSize) {
        return QFontMetricsF(KeyboardPainter::font(pixelSize, regularWeight, dpi))
            .horizontalAdvance(shift ? label.toUpper() : label);
    };
    in.dotCount = m_dotPaletteIDs.size() + (m_state.isCustomPaletteActive() ? 1 : 0);
    if (in.dotCount < 2)
        in.dotCount = 0;
    return in;
}

void KeyboardView::rebuild() {
    m_saveTitle = m_localization.localized(QStringLiteral("save_palette"));

    // The dots name the quick-access sets as they are now, plus the unsaved set when it is shown.
    const bool customActive = m_state.isCustomPaletteActive();
    const QString activeID = m_state.activePaletteID();
    m_dotPaletteIDs.clear();
    m_activeDots.clear();
    for (const SymbolPalette& p : m_paletteManager.quickAccessPalettes()) {
        m_dotPaletteIDs.append(p.idText());
        m_activeDots.append(!customActive && p.idText() == activeID);
    }
    if (customActive)
        m_activeDots.append(true);

    const QSize before = sizeHint();
    m_layout = KeyboardLayout::compute(layoutInput());
    if (m_layout.dots().isEmpty())
        m_activeDots.clear();
    m_buttonFrames = m_layout.buttonFrames();
    if (sizeHint() != before)
        updateGeometry();
    update();
}

QSize KeyboardView::sizeHint() const {
    return QSize(int(std::ceil(m_layout.size().width() - 1e-6)),
                 int(std::ceil(m_layout.size().height() - 1e-6)));
}

std::optional<QPointF> KeyboardView::keyCentre(const QString& text, bool isCustom) const {
    if (const KeyboardElement* key = m_layout.key(text, isCustom))
        return m_layout.toView(key->frame).center();
    return std::nullopt;
}

bool KeyboardView::isBackgroundAt(const QPoint& position) const {
    // While a background click has a meaning (ending reorder mode, closing the
    // add field) the press must reach the view instead of moving the panel.
    if (m_isReordering || m_isAddingMode)
        return false;
    const KeyboardHit hit = m_layout.hitTest(QPointF(position) + QPointF(0.5, 0.5), closeButtonShown());
    return hit.kind == KeyboardHit::Background || hit.kind == KeyboardHit::Nothing;
}

QPainterPath KeyboardView::outline() const {
    QPainterPath path = continuousRoundedRect(m_layout.card(), m_layout.metrics().cardRadius);
    QPainterPath overlays;
    overlays.addEllipse(m_layout.closeButton());
    for (const QRectF& dot : m_layout.dots())
        overlays.addEllipse(dot);
    return path.united(overlays);
}

void KeyboardView::setTranslucent(bool translucent) {
    if (m_translucent == translucent)
        return;
    m_translucent = translucent;
    update();
}

KeyboardScene KeyboardView::scene() const {
    const KeyboardMetrics& m = m_layout.metrics();
    const bool shift = m_state.isShiftPressed();
    KeyboardScene s;
    s.metrics = m;
    s.card = m_layout.card();
    s.translucent = m_translucent;
    s.closeButton = m_layout.closeButton();
    s.closeOpacity = closeButtonShown() ? 1 : 0;
    s.dots = m_layout.dots();
    s.activeDots = m_activeDots;

    const BevelBackground plain{m.keyRadius, m.bevelWidth};
    for (const KeyboardElement& e : m_layout.elements()) {
        ScenePiece piece;
        piece.rect = m_layout.toView(e.frame);
        piece.face = plain;
        switch (e.kind) {
        case KeyboardElementKind::Key:
            piece.face.isCustom = e.isCustom;
            piece.text = shift ? e.text.toUpper() : e.text;
            piece.textSize = KeyboardLayout::labelFontSize(e.text, m);
            piece.weight = regularWeight;
            break;
        case KeyboardElementKind::AddKey:
            piece.face.isBlue = true;
            piece.content = ScenePiece::Content::Plus;
            piece.textSize = m.fontSize * 0.8;
            piece.weight = semiboldWeight;
            piece.opacity = m_isReordering ? 0.3 : 1;
            break;
        case KeyboardElementKind::SaveButton:
            piece.face.isBlue = true;
            piece.content = ScenePiece::Content::Title;
            piece.text = m_saveTitle;
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
        s.pieces.append(piece);
    }
    return s;
}

void KeyboardView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_painter.paint(painter, scene());
}

void KeyboardView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressed = m_layout.hitTest(event->position(), closeButtonShown());
    event->accept();
}

void KeyboardView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressed) {
        event->ignore();
        return;
    }
    const KeyboardHit pressed = *m_pressed;
    m_pressed.reset();
    // Only a release on the element that was pressed counts, as with any button.
    if (m_layout.hitTest(event->position(), closeButtonShown()) == pressed)
        activate(pressed);
    event->accept();
}

void KeyboardView::activate(const KeyboardHit& hit) {
    switch (hit.kind) {
    case KeyboardHit::CloseButton:
        m_state.toggleVisibility();
        return;
    case KeyboardHit::Dot:
        if (hit.index < m_dotPaletteIDs.size())
            m_state.setActivePaletteID(m_dotPaletteIDs[hit.index]);
        return;
    case KeyboardHit::Element: {
        const KeyboardElement& e = m_layout.elements()[hit.index];
        if (e.kind == KeyboardElementKind::Key)
            typeKey(e.text);
        return;
    }
    case KeyboardHit::Background:
    case KeyboardHit::Nothing:
        return;
    }
}

void KeyboardView::typeKey(const QString& text) {
    if (m_isReordering)
        return;
    // Full case mapping: one character may become several (ß types SS).
    m_injector.typeText(m_state.isShiftPressed() ? text.toUpper() : text);
}
