#include "KeyboardView.h"

#include "keyboard/InputInjector.h"
#include "keyboard/KeyboardPanel.h"
#include "keyboard/KeyboardState.h"
#include "keyboard/view/ContinuousCorners.h"
#include "keyboard/view/EditorField.h"
#include "keyboard/view/ViewClock.h"
#include "localization/LocalizationManager.h"
#include "palettes/PaletteManager.h"

#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {
constexpr int regularWeight = 400;
constexpr int mediumWeight = 500;
constexpr int semiboldWeight = 600;
constexpr int boldWeight = 700;
constexpr int longPressMs = 500;
constexpr qreal gestureSlop = 10; // points a long press may wander, and a drag must go first
constexpr int fieldFocusDelayMs = 100;
constexpr int dragClearDelayMs = 300;
constexpr int frameMs = 16;
constexpr int addLengthLimit = 7; // grapheme clusters
} // namespace

KeyboardView::KeyboardView(KeyboardState& state, PaletteManager& paletteManager,
                           LocalizationManager& localizationManager, InputInjector& injector, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_paletteManager(paletteManager)
    , m_localization(localizationManager)
    , m_injector(injector)
    , m_editor(state, paletteManager)
    , m_ownClock(std::make_unique<SystemViewClock>())
    , m_clock(m_ownClock.get()) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // The configured state's one signal covers its fields, the store's sets and the language.
    connect(&m_state, &KeyboardState::changed, this, &KeyboardView::rebuild);
    rebuild();
}

KeyboardView::~KeyboardView() {
    if (m_press && m_press->longPressTask >= 0)
        m_clock->cancel(m_press->longPressTask);
    if (m_frameTask >= 0)
        m_clock->cancel(m_frameTask);
}

void KeyboardView::setClock(ViewClock& clock) {
    if (m_frameTask >= 0)
        m_clock->cancel(m_frameTask);
    m_frameTask = -1;
    m_clock = &clock;
    m_ownClock.reset();
    rebuild();
}

// ---- What is shown -------------------------------------------------------------------------------

qreal KeyboardView::labelWidth(const QString& label, qreal pixelSize) const {
    return QFontMetricsF(KeyboardPainter::font(pixelSize, regularWeight, logicalDpiY()))
        .horizontalAdvance(label);
}

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
    in.saveTitleWidth = QFontMetricsF(KeyboardPainter::font(m.fontSize * 0.85, mediumWeight, logicalDpiY()))
                            .horizontalAdvance(m_saveTitle);
    const bool shift = m_state.isShiftPressed();
    in.labelWidth = [this, shift](const QString& label, qreal pixelSize) {
        return labelWidth(shift ? label.toUpper() : label, pixelSize);
    };
    in.dotCount = m_dotPaletteIDs.size() + (m_state.isCustomPaletteActive() ? 1 : 0);
    if (in.dotCount < 2)
        in.dotCount = 0;
    return in;
}

QList<KeyboardPresentation::Target> KeyboardView::presentationTargets() const {
    using T = KeyboardPresentation::Transition;
    QList<KeyboardPresentation::Target> targets;
    QHash<QString, int> seen;
    for (const KeyboardElement& e : m_layout.elements()) {
        KeyboardPresentation::Target t;
        t.element = e;
        switch (e.kind) {
        case KeyboardElementKind::Key: {
            t.id = KeyboardLayout::frameIdentifier(e.text, e.isCustom);
            if (const int n = seen[t.id]++; n > 0)
                t.id += QStringLiteral("#%1").arg(n); // the same text twice in a list
            const bool dragged = m_draggedCharacter == e.text && m_draggedIsCustom == e.isCustom;
            t.opacity = dragged ? 0 : 1;
            t.scale = m_isReordering && !dragged ? 0.92 : 1;
            t.pulse = m_isReordering && !dragged;
            break;
        }
        case KeyboardElementKind::AddKey:
            t.id = QStringLiteral("add");
            t.opacity = m_isReordering ? 0.3 : 1;
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

    const qint64 now = m_clock->now();
    m_presentation.apply(presentationTargets(), m_animation, now, m_pulseEpoch);
    m_closeOpacity.set(closeButtonShown() ? 1 : 0, m_animation, now);
    if (sizeHint() != before)
        updateGeometry();
    placeFields();
    update();
    scheduleFrame();
}

void KeyboardView::withAnimation(const ViewAnimation& animation, const std::function<void()>& change) {
    const std::optional<ViewAnimation> outer = m_animation;
    m_animation = animation;
    change();
    rebuild();
    m_animation = outer;
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

std::optional<QPointF> KeyboardView::elementCentre(KeyboardElementKind kind) const {
    if (const KeyboardElement* e = m_layout.element(kind))
        return m_layout.toView(e->frame).center();
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
    const qint64 now = m_clock->now();
    const KeyboardMetrics& m = m_layout.metrics();
    const bool shift = m_state.isShiftPressed();
    KeyboardScene s;
    s.metrics = m;
    s.card = m_layout.card();
    s.translucent = m_translucent;
    s.closeButton = m_layout.closeButton();
    s.closeOpacity = m_closeOpacity.value(now);
    s.dots = m_layout.dots();
    s.activeDots = m_activeDots;

    const BevelBackground plain{m.keyRadius, m.bevelWidth};
    auto keyPiece = [&](const QString& text, bool isCustom) {
        ScenePiece piece;
        piece.face = plain;
        piece.face.isCustom = isCustom;
        piece.text = shift ? text.toUpper() : text;
        piece.textSize = KeyboardLayout::labelFontSize(text, m);
        piece.weight = regularWeight;
        return piece;
    };
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
        piece.rect = m_layout.toView(e.frame);
        piece.opacity = p.opacity;
        piece.scale = p.scale;
        piece.offset = QPointF(p.offsetX, 0);
        s.pieces.append(piece);
    }

    if (m_draggedCharacter) {
        // The lifted key: over the others, a little larger, casting a deeper shadow.
        ScenePiece preview = keyPiece(*m_draggedCharacter, m_draggedIsCustom);
        qreal width = KeyboardLayout::keyWidth(*m_draggedCharacter, m);
        width = std::max(width, labelWidth(preview.text, preview.textSize));
        const QPointF centre =
            m_layout.toView(QRectF(m_previewX.value(now), m_previewY.value(now), 0, 0)).topLeft();
        preview.rect = QRectF(centre.x() - width / 2, centre.y() - m.keySize / 2, width, m.keySize);
        preview.scale = 1.05;
        preview.extraShadow = DropShadow::dragPreview();
        s.preview = preview;
    }
    return s;
}

bool KeyboardView::isAnimating() const {
    const qint64 now = m_clock->now();
    return m_presentation.isMoving(now) || m_closeOpacity.isMoving(now) || m_previewX.isMoving(now) ||
           m_previewY.isMoving(now);
}

void KeyboardView::scheduleFrame() {
    if (m_frameTask >= 0 || !isAnimating())
        return;
    m_frameTask = m_clock->schedule(frameMs, [this] { onFrame(); });
}

void KeyboardView::onFrame() {
    m_frameTask = -1;
    m_presentation.dropDeparted(m_clock->now());
    placeFields();
    update();
    scheduleFrame();
}

void KeyboardView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_painter.paint(painter, scene());
}

// ---- Pointer -------------------------------------------------------------------------------------

KeyboardView::Target KeyboardView::targetAt(const QPointF& position) const {
    const KeyboardHit hit = m_layout.hitTest(position, closeButtonShown());
    Target t;
    t.kind = hit.kind;
    if (hit.kind == KeyboardHit::Dot)
        t.dot = hit.index;
    if (hit.kind == KeyboardHit::Element) {
        const KeyboardElement& e = m_layout.elements()[hit.index];
        t.element = e.kind;
        t.text = e.text;
        t.isCustom = e.isCustom;
    }
    return t;
}

void KeyboardView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if (m_press && m_press->longPressTask >= 0)
        m_clock->cancel(m_press->longPressTask);
    Press press;
    press.target = targetAt(event->position());
    press.origin = event->position();
    if (press.target.kind == KeyboardHit::Element && press.target.element == KeyboardElementKind::Key)
        press.longPressTask = m_clock->schedule(longPressMs, [this] {
            m_press->longPressTask = -1;
            if (!m_press->moved)
                longPressRecognised();
        });
    m_press = press;
    event->accept();
}

void KeyboardView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_press)
        return;
    const QPointF d = event->position() - m_press->origin;
    const bool far = std::hypot(d.x(), d.y()) > gestureSlop;
    if (far && !m_press->moved) {
        m_press->moved = true;
        if (m_press->longPressTask >= 0)
            m_clock->cancel(m_press->longPressTask);
        m_press->longPressTask = -1;
    }
    const Target& t = m_press->target;
    if (t.kind == KeyboardHit::Element && t.element == KeyboardElementKind::Key &&
        (far || m_press->dragging)) {
        m_press->dragging = true;
        dragChanged(t, m_layout.toGrid(event->position()));
    }
}

void KeyboardView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_press) {
        event->ignore();
        return;
    }
    const Press press = *m_press;
    m_press.reset();
    if (press.longPressTask >= 0)
        m_clock->cancel(press.longPressTask);
    if (press.dragging)
        dragEnded(press.target);
    // A click counts when it ends on what it started on, as with any button.
    if (targetAt(event->position()) == press.target)
        activate(press.target);
    event->accept();
}

void KeyboardView::contextMenuEvent(QContextMenuEvent* event) {
    const Target t = targetAt(event->pos());
    if (t.kind != KeyboardHit::Element || t.element != KeyboardElementKind::Key)
        return;
    if (m_menu)
        m_menu->close();
    m_menu = new QMenu(this);
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    const QString text = t.text;
    m_menu->addAction(m_localization.localized(QStringLiteral("delete")), this,
                      [this, text] { deleteSymbol(text); });
    m_menu->popup(event->globalPos());
    event->accept();
}

void KeyboardView::activate(const Target& target) {
    switch (target.kind) {
    case KeyboardHit::CloseButton:
        m_state.toggleVisibility();
        return;
    case KeyboardHit::Dot:
        if (target.dot < m_dotPaletteIDs.size())
            m_state.setActivePaletteID(m_dotPaletteIDs[target.dot]);
        return;
    case KeyboardHit::Background:
        backgroundClick();
        return;
    case KeyboardHit::Nothing:
        return;
    case KeyboardHit::Element:
        break;
    }
    switch (target.element) {
    case KeyboardElementKind::Key:
        typeKey(target.text);
        break;
    case KeyboardElementKind::AddKey:
        if (!m_isReordering)
            startAdding(1);
        break;
    case KeyboardElementKind::AddConfirm:
        commitAdd(m_activeAddingSection);
        break;
    case KeyboardElementKind::AddCancel:
        cancelAdd();
        break;
    case KeyboardElementKind::SaveButton:
        startSaving();
        break;
    case KeyboardElementKind::NameConfirm:
        commitSave();
        break;
    case KeyboardElementKind::NameCancel:
        cancelSave();
        break;
    case KeyboardElementKind::AddField:
    case KeyboardElementKind::NameField:
        break;
    }
}

void KeyboardView::typeKey(const QString& text) {
    if (m_isReordering)
        return;
    // Full case mapping: one character may become several (ß types SS).
    m_injector.typeText(m_state.isShiftPressed() ? text.toUpper() : text);
}

void KeyboardView::backgroundClick() {
    // Reorder mode takes precedence and ends with nothing else changed.
    if (m_isReordering) {
        withAnimation(ViewAnimation::standard(), [this] { setReordering(false); });
        return;
    }
    if (m_isAddingMode)
        cancelAdd();
}

// ---- Reordering and deleting ---------------------------------------------------------------------

void KeyboardView::longPressRecognised() {
    if (m_isReordering)
        return;
    withAnimation(ViewAnimation::standard(), [this] { setReordering(true); });
}

void KeyboardView::setReordering(bool on) {
    if (m_isReordering == on)
        return;
    m_isReordering = on;
    m_pulseEpoch = m_clock->now();
    if (KeyboardPanel* panel = m_state.floatingPanel())
        panel->setMovableByBackground(!on);
    if (!on)
        m_draggedCharacter.reset();
}

void KeyboardView::dragChanged(const Target& key, const QPointF& location) {
    if (!m_isReordering)
        return;
    if (m_draggedCharacter != key.text) {
        m_draggedCharacter = key.text;
        m_draggedIsCustom = key.isCustom;
    }
    m_dragPosition = location;
    m_previewX.jump(location.x());
    m_previewY.jump(location.y());
    withAnimation(ViewAnimation::moveSpring(),
                  [&] { m_editor.moveDraggedSymbol(key.text, key.isCustom, location, m_buttonFrames); });
}

void KeyboardView::dragEnded(const Target& key) {
    if (m_draggedCharacter != key.text)
        return;
    const auto frame = m_buttonFrames.constFind(KeyboardLayout::frameIdentifier(key.text, key.isCustom));
    if (frame != m_buttonFrames.constEnd()) {
        m_dragPosition = frame->center();
        const qint64 now = m_clock->now();
        m_previewX.set(m_dragPosition.x(), ViewAnimation::settleSpring(), now);
        m_previewY.set(m_dragPosition.y(), ViewAnimation::settleSpring(), now);
        scheduleFrame();
    }
    m_clock->schedule(dragClearDelayMs, [this] {
        m_draggedCharacter.reset();
        rebuild();
    });
}

void KeyboardView::deleteSymbol(const QString& text) {
    withAnimation(ViewAnimation::standard(), [&] { m_editor.deleteSymbol(text); });
}

// ---- Adding and saving ---------------------------------------------------------------------------

void KeyboardView::startAdding(int section) {
    withAnimation(ViewAnimation::panelSpring(), [&] {
        m_newCharacter.clear();
        m_activeAddingSection = section;
        setAddingMode(true);
    });
}

void KeyboardView::commitAdd(int) {
    const QString symbol = SymbolEditor::cleanedSymbol(m_newCharacter);
    if (!symbol.isEmpty())
        m_editor.appendSymbol(symbol);
    // One commit adds at most one symbol and always closes the field.
    m_clock->schedule(0, [this] {
        withAnimation(ViewAnimation::panelSpring(), [this] {
            m_newCharacter.clear();
            setAddingMode(false);
        });
    });
}

void KeyboardView::cancelAdd() {
    withAnimation(ViewAnimation::panelSpring(), [this] {
        m_newCharacter.clear();
        setAddingMode(false);
    });
}

void KeyboardView::startSaving() {
    withAnimation(ViewAnimation::panelSpring(), [this] {
        m_paletteName.clear();
        setSavingPalette(true);
    });
}

void KeyboardView::commitSave() {
    // A blank name keeps the field open.
    if (m_editor.saveUnsavedSet(m_paletteName))
        m_clock->schedule(0, [this] { cancelSave(); });
}

void KeyboardView::cancelSave() {
    withAnimation(ViewAnimation::panelSpring(), [this] {
        m_paletteName.clear();
        setSavingPalette(false);
    });
}

void KeyboardView::setAddingMode(bool on) {
    if (m_isAddingMode == on)
        return;
    m_isAddingMode = on;
    if (on) {
        m_addField = openField(true);
    } else {
        m_isAddFieldFocused = false;
        closeField(m_addField);
    }
    updatePanelFocus(on);
}

void KeyboardView::setSavingPalette(bool on) {
    if (m_isSavingPalette == on)
        return;
    m_isSavingPalette = on;
    if (on) {
        m_nameField = openField(false);
    } else {
        m_isSaveFieldFocused = false;
        closeField(m_nameField);
    }
    updatePanelFocus(on);
}

void KeyboardView::updatePanelFocus(bool fieldOpened) {
    // The panel takes the focus exactly while a field is open; switched off, it
    // hands the focus back to the window that had it before.
    KeyboardPanel* panel = m_state.floatingPanel();
    const bool open = m_isAddingMode || m_isSavingPalette;
    if (panel && panel->allowFocus() != open)
        panel->setAllowFocus(open);
    if (panel && open && fieldOpened)
        panel->makeKeyWindow();
    // The field still open keeps the typing.
    if (!fieldOpened && open) {
        if (m_addField)
            m_addField->setFocus();
        else if (m_nameField)
            m_nameField->setFocus();
    }
}

EditorField* KeyboardView::openField(bool forAdding) {
    auto* field = new EditorField(this);
    field->setPixelSize(m_layout.metrics().fontSize);
    if (forAdding) {
        connect(field, &QLineEdit::textChanged, this, &KeyboardView::setNewCharacter);
        connect(field, &EditorField::confirmed, this, [this] { commitAdd(m_activeAddingSection); });
        connect(field, &EditorField::cancelled, this, &KeyboardView::cancelAdd);
    } else {
        field->setPlaceholderText(m_localization.localized(QStringLiteral("palette_name_placeholder")));
        connect(field, &QLineEdit::textChanged, this, [this](const QString& text) { m_paletteName = text; });
        connect(field, &EditorField::confirmed, this, &KeyboardView::commitSave);
        connect(field, &EditorField::cancelled, this, &KeyboardView::cancelSave);
    }
    field->show();
    focusFieldLater(forAdding);
    return field;
}

void KeyboardView::closeField(EditorField*& field) {
    if (!field)
        return;
    // It may be the sender of the key press that closes it.
    field->hide();
    field->deleteLater();
    field = nullptr;
}

void KeyboardView::focusFieldLater(bool forAdding) {
    m_clock->schedule(fieldFocusDelayMs, [this, forAdding] {
        EditorField* field = forAdding ? m_addField : m_nameField;
        if (!field)
            return;
        (forAdding ? m_isAddFieldFocused : m_isSaveFieldFocused) = true;
        field->setFocus(Qt::OtherFocusReason);
    });
}

void KeyboardView::setNewCharacter(const QString& text) {
    m_newCharacter = text;
    if (SymbolPalette::graphemes(text).size() <= addLengthLimit)
        return;
    m_clock->schedule(0, [this] {
        m_newCharacter = SymbolEditor::leftGraphemes(m_newCharacter, addLengthLimit);
        if (m_addField && m_addField->text() != m_newCharacter)
            m_addField->setText(m_newCharacter);
    });
}

void KeyboardView::placeFields() {
    const qint64 now = m_clock->now();
    QRectF addRect, nameRect;
    for (const KeyboardPresentation::Presented& p : m_presentation.at(now)) {
        if (p.leaving)
            continue;
        const QRectF r = m_layout.toView(p.element.frame).translated(p.offsetX, 0);
        if (p.element.kind == KeyboardElementKind::AddField)
            addRect = r;
        else if (p.element.kind == KeyboardElementKind::NameField)
            nameRect = r;
    }
    for (auto [field, rect] : {std::pair{m_addField, addRect}, std::pair{m_nameField, nameRect}}) {
        if (!field)
            continue;
        field->setVisible(!rect.isEmpty());
        field->setGeometry(rect.toAlignedRect());
        field->setPixelSize(m_layout.metrics().fontSize);
    }
}
