#include "ReorderSession.h"

#include "keyboard/KeyboardPanel.h"
#include "keyboard/SymbolEditor.h"
#include "keyboard/view/GestureRecogniser.h"
#include "keyboard/view/KeyboardSceneBuilder.h"
#include "keyboard/view/timing/ViewClock.h"

ReorderSession::ReorderSession(ViewClock& clock, SymbolEditor& editor, KeyboardSceneBuilder& scene,
                               KeyboardPanel* window)
    : m_clock(clock)
    , m_editor(editor)
    , m_scene(scene)
    , m_window(window) {}

ReorderSession::~ReorderSession() {
    if (m_clearTask >= 0)
        m_clock.cancel(m_clearTask);
}

void ReorderSession::run(const std::optional<ViewAnimation>& animation, const std::function<void()>& change) {
    if (animate)
        animate(animation, change);
    else
        change();
}

void ReorderSession::setOn(bool on) {
    if (m_on == on)
        return;
    run(ViewAnimation::standard(), [this, on] {
        m_on = on;
        if (m_window)
            m_window->setMovableByBackground(!on);
        if (!on)
            m_dragged.reset();
    });
}

void ReorderSession::dragChanged(const GestureTarget& key, const QPointF& gridLocation) {
    if (!m_on)
        return;
    m_dragged = key.text;
    m_draggedIsCustom = key.isCustom;
    m_dragPosition = gridLocation;
    m_scene.movePreview(gridLocation);
    // A copy: the move rebuilds the layout the frames come from.
    const QHash<QString, QRectF> frames = m_scene.layout().buttonFrames();
    run(ViewAnimation::moveSpring(),
        [&] { m_editor.moveDraggedSymbol(key.text, key.isCustom, gridLocation, frames); });
}

void ReorderSession::dragEnded(const GestureTarget& key) {
    if (m_dragged != key.text)
        return;
    const QHash<QString, QRectF> frames = m_scene.layout().buttonFrames();
    if (const auto slot = frames.constFind(KeyboardLayout::frameIdentifier(key.text, key.isCustom));
        slot != frames.cend())
        m_dragPosition = slot->center();
    if (m_scene.settlePreview(key.text, key.isCustom, m_clock.now()) && onPreviewMoved)
        onPreviewMoved();
    m_clearTask = m_clock.schedule(dragClearDelayMs, [this] {
        m_clearTask = -1;
        run(std::nullopt, [this] { m_dragged.reset(); });
    });
}
