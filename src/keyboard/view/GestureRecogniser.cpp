#include "GestureRecogniser.h"

#include "keyboard/view/timing/ViewClock.h"

#include <cmath>

GestureRecogniser::GestureRecogniser(ViewClock& clock, HitTest hitTest, ToGrid toGrid)
    : m_clock(clock)
    , m_hitTest(std::move(hitTest))
    , m_toGrid(std::move(toGrid)) {}

GestureRecogniser::~GestureRecogniser() {
    cancelLongPress();
}

GestureTarget GestureRecogniser::targetAt(const KeyboardLayout& layout, const QPointF& viewPoint,
                                          bool closeButtonShown) {
    const KeyboardHit hit = layout.hitTest(viewPoint, closeButtonShown);
    GestureTarget t;
    t.kind = hit.kind;
    if (hit.kind == KeyboardHit::Dot)
        t.dot = hit.index;
    if (hit.kind == KeyboardHit::Element) {
        const KeyboardElement& e = layout.elements()[hit.index];
        t.element = e.kind;
        t.text = e.text;
        t.isCustom = e.isCustom;
    }
    return t;
}

void GestureRecogniser::cancelLongPress() {
    if (m_press && m_press->longPressTask >= 0)
        m_clock.cancel(m_press->longPressTask);
    if (m_press)
        m_press->longPressTask = -1;
}

void GestureRecogniser::press(const QPointF& position) {
    cancelLongPress();
    Press press;
    press.target = m_hitTest(position);
    press.origin = position;
    if (press.target.isKey())
        press.longPressTask = m_clock.schedule(longPressMs, [this] {
            m_press->longPressTask = -1;
            if (!m_press->moved)
                send(GestureIntent::Reorder, m_press->target);
        });
    m_press = press;
}

void GestureRecogniser::move(const QPointF& position) {
    if (!m_press)
        return;
    const QPointF d = position - m_press->origin;
    const bool far = std::hypot(d.x(), d.y()) > slop;
    if (far && !m_press->moved) {
        m_press->moved = true;
        cancelLongPress();
    }
    if (m_press->target.isKey() && (far || m_press->dragging)) {
        m_press->dragging = true;
        send(GestureIntent::DragChanged, m_press->target, m_toGrid(position));
    }
}

bool GestureRecogniser::release(const QPointF& position) {
    if (!m_press)
        return false;
    cancelLongPress();
    const Press press = *m_press;
    m_press.reset();
    if (press.dragging)
        send(GestureIntent::DragEnded, press.target);
    if (m_hitTest(position) == press.target)
        click(press.target);
    return true;
}

bool GestureRecogniser::contextMenu(const QPointF& position, const QPoint& screenPosition) {
    const GestureTarget target = m_hitTest(position);
    if (!target.isKey())
        return false;
    GestureIntent intent;
    intent.kind = GestureIntent::Delete;
    intent.target = target;
    intent.screenPosition = screenPosition;
    if (onIntent)
        onIntent(intent);
    return true;
}

void GestureRecogniser::send(GestureIntent::Kind kind, const GestureTarget& target, const QPointF& location) {
    GestureIntent intent;
    intent.kind = kind;
    intent.target = target;
    intent.location = location;
    switch (target.element) {
    case KeyboardElementKind::SaveButton:
    case KeyboardElementKind::NameConfirm:
    case KeyboardElementKind::NameCancel:
        intent.field = KeyboardElementKind::NameField;
        break;
    default:
        break;
    }
    if (onIntent)
        onIntent(intent);
}

void GestureRecogniser::click(const GestureTarget& target) {
    using K = KeyboardElementKind;
    switch (target.kind) {
    case KeyboardHit::CloseButton:
        return send(GestureIntent::Close, target);
    case KeyboardHit::Dot:
        return send(GestureIntent::Dot, target);
    case KeyboardHit::Background:
        return send(GestureIntent::Background, target);
    case KeyboardHit::Nothing:
        return;
    case KeyboardHit::Element:
        break;
    }
    switch (target.element) {
    case K::Key:
        return send(GestureIntent::Type, target);
    case K::AddKey:
    case K::SaveButton:
        return send(GestureIntent::Open, target);
    case K::AddConfirm:
    case K::NameConfirm:
        return send(GestureIntent::Confirm, target);
    case K::AddCancel:
    case K::NameCancel:
        return send(GestureIntent::Cancel, target);
    case K::ShiftKey:
        return send(GestureIntent::Shift, target);
    case K::AddField:
    case K::NameField:
        return;
    }
}
