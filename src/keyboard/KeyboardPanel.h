#pragma once

// The window that hosts the keyboard, as the keyboard state and the keyboard
// view see it. The real one is FloatingPanel; tests use a recording one.
class KeyboardPanel {
public:
    virtual ~KeyboardPanel() = default;

    // Brings the panel to the front without taking the focus (creating nothing).
    virtual void showPanel() = 0;
    // Hides the panel; it keeps its place and content.
    virtual void hidePanel() = 0;

    // Whether the panel may take the keyboard focus (only while one of its text fields is edited).
    virtual bool allowFocus() const = 0;
    // Switching it back to false returns the focus to the window that had it before.
    virtual void setAllowFocus(bool allow) = 0;
    // Gives the panel the keyboard focus; only has an effect while allowFocus() is true.
    virtual void activate() = 0;
    // False where the panel can never take the keyboard focus (an unmanaged
    // window): its text fields then open in small windows of their own.
    virtual bool canTakeFocus() const { return true; }

    // Whether dragging the panel's background moves it (off while keys are reordered).
    virtual void setMovableByBackground(bool movable) = 0;
};
