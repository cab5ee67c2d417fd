#pragma once

#include <QAbstractButton>

// An on/off switch: a rounded track with a round knob, checkable with the
// mouse or the space bar.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override { return {38, 22}; }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override;

private:
    bool m_keyboardFocus = false;
};
