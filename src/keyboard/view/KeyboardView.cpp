#include "KeyboardView.h"

#include "keyboard/KeyboardPanel.h"
#include "keyboard/KeyboardState.h"
#include "keyboard/view/KeyboardAccessible.h"
#include "keyboard/view/fields/CandidateStrip.h"
#include "keyboard/view/timing/ViewClock.h"
#include "localization/LocalizationManager.h"
#include "names/NameIndex.h"
#include "platform/Log.h"
#include "platform/TypingBackend.h"
#include "sets/SetStore.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>

#include <algorithm>
#include <cmath>

namespace {
constexpr int frameMs = 16;
constexpr int symbolLengthLimit = 7; // grapheme clusters
// The add field also takes the words of a name, and cuts what it adds to a symbol's length.
constexpr int addLengthLimit = 64;
// A single character typed is most likely the symbol itself, not the start of a name.
constexpr int shortestName = 2;
constexpr int prepareDelayMs = 250;

// The panel the fields borrow the focus from, if they can.
KeyboardPanel* lenderPanel(KeyboardPanel* window) {
    return window && window->canTakeFocus() ? window : nullptr;
}
} // namespace

KeyboardView::KeyboardView(KeyboardState& state, SetStore& setStore, LocalizationManager& localizationManager,
                           TypingBackend& typing, KeyboardPanel* window, ViewClock* clock)
    : m_state(state)
    , m_setStore(setStore)
    , m_localization(localizationManager)
    , m_typing(typing)
    , m_editor(state, setStore)
    , m_ownClock(clock ? nullptr : std::make_unique<SystemViewClock>())
    , m_clock(clock ? *clock : *m_ownClock)
    , m_scene([this](const QString& text, qreal pixelSize, int weight) {
        return QFontMetricsF(KeyboardPainter::font(pixelSize, weight, logicalDpiY())).horizontalAdvance(text);
    })
    , m_gestures(
          m_clock,
          [this](const QPointF& p) {
              return GestureRecogniser::targetAt(m_scene.layout(), p, m_scene.closeButtonShown());
          },
          [this](const QPointF& p) { return m_scene.layout().toGrid(p); })
    , m_latch(QGuiApplication::styleHints()->mouseDoubleClickInterval())
    , m_reorder(m_clock, m_editor, m_scene, window)
    , m_lender(lenderPanel(window))
    , m_add(m_clock, m_lender, *this, addLengthLimit)
    , m_name(m_clock, m_lender, *this, 0,
             [this] { return m_localization.localized(QStringLiteral("palette_name_placeholder")); }) {
    KeyboardAccessible::installFactory();
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (window && !lenderPanel(window)) {
        m_add.useOwnWindow([this] { return m_localization.localized(QStringLiteral("add_symbol")); });
        m_name.useOwnWindow(
            [this] { return m_localization.localized(QStringLiteral("palette_name_placeholder")); });
    }
    m_gestures.onIntent = [this](const GestureIntent& intent) { handle(intent); };
    m_reorder.animate = [this](const std::optional<ViewAnimation>& animation,
                               const std::function<void()>& change) { withAnimation(animation, change); };
    m_reorder.onPreviewMoved = [this] { scheduleFrame(); };
    for (TextField* field : {&m_add, &m_name})
        field->animate = [this](const std::function<void()>& change) {
            withAnimation(ViewAnimation::panelSpring(), change);
        };
    m_add.onCommit = [this](const QString& text) {
        // One commit adds at most one symbol and always closes the field.
        m_editor.appendSymbol(
            SymbolEditor::leftGraphemes(SymbolEditor::cleanedSymbol(text), symbolLengthLimit));
        return true;
    };
    m_add.onEdited = [this](const QString& text) { offerCandidates(text); };
    connect(&m_names, &NameIndexLoader::built, this, [this] {
        if (m_add.isOpen() && !m_typedForNames.isEmpty())
            offerCandidates(m_typedForNames);
    });
    // A blank name keeps the field open.
    m_name.onCommit = [this](const QString& name) { return m_editor.saveUnsavedSet(name).has_value(); };
    // The configured state's one signal covers its fields, the store's sets and the language.
    connect(&m_state, &KeyboardState::changed, this, &KeyboardView::rebuild);
    // Getting the keys ready changes the keymap, which every program and the window manager then
    // re-read; it waits until the panel has been on screen a moment, so showing it stays quick.
    m_prepare.setSingleShot(true);
    m_prepare.setInterval(prepareDelayMs);
    connect(&m_prepare, &QTimer::timeout, this, [this] {
        if (isVisible())
            m_typing.prepare(m_keySymbols);
    });
    rebuild();
}

KeyboardView::~KeyboardView() {
    if (m_frameTask >= 0)
        m_clock.cancel(m_frameTask);
}

void KeyboardView::offerCandidates(const QString& typed) {
    const QString query = typed.simplified();
    const bool looksLikeName =
        query.size() >= shortestName &&
        std::any_of(query.cbegin(), query.cend(), [](QChar c) { return c.isLetter(); });
    QList<CandidateStrip::Candidate> offered;
    if (looksLikeName) {
        const NameIndex* names = m_names.ready();
        m_typedForNames = names ? QString() : typed; // offered once the index is built
        if (names) {
            for (const NameIndex::Match& match : names->find(query, CandidateStrip::maxCandidates))
                offered.append({match.symbol, match.symbol + QStringLiteral(", ") + match.name});
        }
    }
    if (offered.isEmpty()) {
        if (m_candidates)
            m_candidates->hide();
        return;
    }
    if (!m_candidates) {
        m_candidates = new CandidateStrip(this);
        connect(m_candidates, &CandidateStrip::chosen, this, &KeyboardView::chooseCandidate);
    }
    m_candidates->setCandidates(offered, m_scene.layout().metrics());
    m_candidates->showBeside(QRect(mapToGlobal(QPoint()), size()));
}

QStringList KeyboardView::candidates() const {
    QStringList symbols;
    if (m_candidates && m_candidates->isVisible()) {
        for (const CandidateStrip::Candidate& candidate : m_candidates->candidates())
            symbols.append(candidate.symbol);
    }
    return symbols;
}

void KeyboardView::chooseCandidate(const QString& symbol) {
    if (!m_add.isOpen())
        return;
    m_editor.appendSymbol(symbol);
    m_add.cancel();
}

void KeyboardView::rebuild() {
    KeyboardSceneBuilder::Input in = KeyboardSceneBuilder::read(m_state, m_setStore, m_localization);
    in.isAddingMode = m_add.isOpen();
    in.activeAddingSection = m_activeAddingSection;
    in.isSavingSet = m_name.isOpen();
    in.isReordering = m_reorder.isOn();
    in.draggedCharacter = m_reorder.draggedCharacter();
    in.draggedIsCustom = m_reorder.draggedIsCustom();
    in.shiftLatch = m_latch.state();
    in.shift = in.shift || m_latch.isOn();
    const QString keys = (in.baseSymbols + in.customSymbols).join(QString());
    if (keys + keys.toUpper() != m_keySymbols) {
        m_keySymbols = keys + keys.toUpper();
        m_prepare.start();
    }
    const QSize before = sizeHint();
    m_scene.update(in, m_animation, m_clock.now());
    if (sizeHint() != before)
        updateGeometry();
    placeFields();
    update();
    scheduleFrame();
    ++m_layoutGeneration;
    if (QAccessible::isActive()) {
        QAccessibleEvent reordered(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&reordered);
    }
}

QString KeyboardView::spokenName(const QString& symbol) {
    return m_names.wait().nameOf(symbol, m_localization.currentLanguage());
}

void KeyboardView::perform(const GestureIntent& intent) {
    m_clickShift = false;
    handle(intent);
}

void KeyboardView::withAnimation(const std::optional<ViewAnimation>& animation,
                                 const std::function<void()>& change) {
    const std::optional<ViewAnimation> outer = m_animation;
    m_animation = animation;
    change();
    rebuild();
    m_animation = outer;
}

QSize KeyboardView::sizeHint() const {
    const QSizeF size = m_scene.layout().size();
    return QSize(int(std::ceil(size.width() - 1e-6)), int(std::ceil(size.height() - 1e-6)));
}

bool KeyboardView::isBackgroundAt(const QPoint& position) const {
    // While a background click has a meaning (ending reorder mode, closing the
    // add field) the press must reach the view instead of moving the panel.
    if (m_reorder.isOn() || m_add.isOpen())
        return false;
    const KeyboardHit hit =
        m_scene.layout().hitTest(QPointF(position) + QPointF(0.5, 0.5), m_scene.closeButtonShown());
    return hit.kind == KeyboardHit::Background || hit.kind == KeyboardHit::Nothing;
}

void KeyboardView::setTranslucent(bool translucent) {
    if (m_translucent == translucent)
        return;
    m_translucent = translucent;
    update();
}

void KeyboardView::scheduleFrame() {
    if (m_frameTask >= 0 || !m_scene.isAnimating(m_clock.now()))
        return;
    m_frameTask = m_clock.schedule(frameMs, [this] {
        m_frameTask = -1;
        m_scene.dropDeparted(m_clock.now());
        placeFields();
        update();
        scheduleFrame();
    });
}

void KeyboardView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_painter.paint(painter, m_scene.scene(m_clock.now(), m_translucent));
}

// ---- Pointer -------------------------------------------------------------------------------------

void KeyboardView::showEvent(QShowEvent*) {
    m_prepare.start();
}

void KeyboardView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return event->ignore();
    m_clickShift = event->modifiers().testFlag(Qt::ShiftModifier);
    m_gestures.press(event->position());
    event->accept();
}

void KeyboardView::mouseMoveEvent(QMouseEvent* event) {
    m_gestures.move(event->position());
}

void KeyboardView::mouseReleaseEvent(QMouseEvent* event) {
    m_clickShift = m_clickShift || event->modifiers().testFlag(Qt::ShiftModifier);
    event->setAccepted(event->button() == Qt::LeftButton && m_gestures.release(event->position()));
}

void KeyboardView::contextMenuEvent(QContextMenuEvent* event) {
    if (m_gestures.contextMenu(event->pos(), event->globalPos()))
        event->accept();
}

void KeyboardView::startAdding(int section) {
    m_activeAddingSection = section;
    m_names.start(); // while the user begins to type
    m_add.open();
}

void KeyboardView::commitAdd(int section) {
    if (section == m_activeAddingSection)
        m_add.commit();
}

void KeyboardView::cancelAdd() {
    m_add.cancel();
}

void KeyboardView::startSaving() {
    m_name.open();
}

void KeyboardView::commitSave() {
    m_name.commit();
}

void KeyboardView::cancelSave() {
    m_name.cancel();
}

void KeyboardView::handle(const GestureIntent& intent) {
    const bool name = intent.field == KeyboardElementKind::NameField;
    switch (intent.kind) {
    case GestureIntent::Type:
        if (m_reorder.isOn())
            break;
        // Full case mapping: one character may become several (ß types SS).
        if (const bool shift = m_state.clicksCarryShift() ? m_clickShift : m_state.isShiftPressed();
            !m_typing.type(shift || m_latch.isOn() ? intent.target.text.toUpper() : intent.target.text))
            Log::line(QStringLiteral("[KeyboardView] Cannot type: ") +
                      m_localization.text(m_typing.unavailableReason()));
        if (m_latch.state() == ShiftLatch::Latched) {
            m_latch.typed();
            rebuild();
        }
        break;
    case GestureIntent::Shift:
        // Dimmed and idle in reorder mode, as the add key.
        if (!m_reorder.isOn()) {
            m_latch.click(m_clock.now());
            rebuild();
        }
        break;
    case GestureIntent::Reorder:
        m_reorder.setOn(true);
        break;
    case GestureIntent::DragChanged:
        m_reorder.dragChanged(intent.target, intent.location);
        break;
    case GestureIntent::DragEnded:
        m_reorder.dragEnded(intent.target);
        break;
    case GestureIntent::Delete:
        offerDeleting(intent.target.text, intent.screenPosition);
        break;
    case GestureIntent::Open:
        // The add key is dimmed and does nothing in reorder mode.
        if (name)
            startSaving();
        else if (!m_reorder.isOn())
            startAdding(1);
        break;
    case GestureIntent::Confirm:
        name ? commitSave() : commitAdd(m_activeAddingSection);
        break;
    case GestureIntent::Cancel:
        name ? cancelSave() : cancelAdd();
        break;
    case GestureIntent::Close:
        m_state.toggleVisibility();
        break;
    case GestureIntent::Dot:
        // A copy: the change rebuilds the input the identifier lives in.
        if (const QStringList ids = m_scene.input().dotSetIDs; intent.target.dot < ids.size())
            m_state.setActiveSetId(ids[intent.target.dot]);
        break;
    case GestureIntent::Background:
        // Reorder mode takes precedence and ends with nothing else changed.
        if (m_reorder.isOn())
            m_reorder.setOn(false);
        else if (m_add.isOpen())
            cancelAdd();
        break;
    }
}

void KeyboardView::offerDeleting(const QString& text, const QPoint& screenPosition) {
    if (m_menu)
        m_menu->close();
    m_menu = new QMenu(this);
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    m_menu->addAction(m_localization.localized(QStringLiteral("delete")), this, [this, text] {
        withAnimation(ViewAnimation::standard(), [&] { m_editor.deleteSymbol(text); });
    });
    m_menu->popup(screenPosition);
}

void KeyboardView::placeFields() {
    const qint64 now = m_clock.now();
    const KeyboardMetrics& metrics = m_scene.layout().metrics();
    m_add.place(m_scene.fieldFrame(KeyboardElementKind::AddField, now), metrics);
    m_name.place(m_scene.fieldFrame(KeyboardElementKind::NameField, now), metrics);
}
