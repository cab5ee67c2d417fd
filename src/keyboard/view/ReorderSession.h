#pragma once

#include "keyboard/view/timing/ViewAnimation.h"

#include <QPointF>
#include <QString>

#include <functional>
#include <optional>

class KeyboardPanel;
class KeyboardSceneBuilder;
class SymbolEditor;
class ViewClock;
struct GestureTarget;

// Reorder mode and the key dragged in it. While the mode lasts the panel
// cannot be moved by its background, so a drag on a key moves the key: over
// another key of its kind it takes that key's place in the set at once. Let
// go, the lifted key glides onto its slot and shows there again 0.3 s later;
// the mode stays on until it is ended.
class ReorderSession {
public:
    static constexpr int dragClearDelayMs = 300;

    // `window` may be none (painted offscreen).
    ReorderSession(ViewClock& clock, SymbolEditor& editor, KeyboardSceneBuilder& scene,
                   KeyboardPanel* window);
    ~ReorderSession();
    ReorderSession(const ReorderSession&) = delete;
    ReorderSession& operator=(const ReorderSession&) = delete;

    bool isOn() const { return m_on; }
    const std::optional<QString>& draggedCharacter() const { return m_dragged; }
    bool draggedIsCustom() const { return m_draggedIsCustom; }
    // Where the dragged key is ("keyboardGrid" space): the pointer, and its slot once let go.
    QPointF dragPosition() const { return m_dragPosition; }

    void setOn(bool on);
    void dragChanged(const GestureTarget& key, const QPointF& gridLocation);
    void dragEnded(const GestureTarget& key);

    // Runs a change and redraws, under the animation when there is one.
    std::function<void(const std::optional<ViewAnimation>& animation, const std::function<void()>& change)>
        animate;
    // The lifted key started gliding; frames are wanted.
    std::function<void()> onPreviewMoved;

private:
    void run(const std::optional<ViewAnimation>& animation, const std::function<void()>& change);

    ViewClock& m_clock;
    SymbolEditor& m_editor;
    KeyboardSceneBuilder& m_scene;
    KeyboardPanel* m_window;
    bool m_on = false;
    std::optional<QString> m_dragged;
    bool m_draggedIsCustom = false;
    QPointF m_dragPosition;
    int m_clearTask = -1;
};
