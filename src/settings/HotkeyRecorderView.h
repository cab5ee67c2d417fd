#pragma once

#include "hotkeys/Hotkey.h"

#include <QWidget>

// A 140 × 24 field that records one global key combination.
//
// Idle it shows the combination; a click starts recording, a second click
// cancels. While recording, a key pressed with at least one of Control, Alt
// or Super is recorded by its physical position (so a combination recorded
// with a Russian layout equals the same keys under a US layout); Escape or
// Backspace with any modifiers clears the combination; Shift alone is not
// enough and modifier-only presses are swallowed. Losing the focus cancels.
// Recorded and cleared combinations are announced through `recorded`, after
// the key event has been handled.
class HotkeyRecorderView : public QWidget {
    Q_OBJECT

public:
    static constexpr int fixedWidth = 140;
    static constexpr int fixedHeight = 24;

    explicit HotkeyRecorderView(QWidget* parent = nullptr);

    Hotkey hotkey() const { return m_hotkey; }
    void setHotkey(const Hotkey& hotkey);
    QString placeholder() const { return m_placeholder; }
    void setPlaceholder(const QString& placeholder);
    bool isRecording() const { return m_isRecording; }

    // The text drawn now, for the name screen readers announce and for tests.
    QString shownText() const;

    QSize sizeHint() const override { return {fixedWidth, fixedHeight}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

Q_SIGNALS:
    void recorded(const Hotkey& hotkey);
    void isRecordingChanged(bool recording);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setRecording(bool recording);
    void report(const Hotkey& hotkey);
    void updateAccessibleName();
    QFont textFont() const;

    Hotkey m_hotkey;
    QString m_placeholder;
    bool m_isRecording = false;
};
