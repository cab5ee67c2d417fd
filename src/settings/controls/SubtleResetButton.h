#pragma once

#include <QWidget>

// A quiet text-only action centred in the full width: tertiary colour at
// rest, label colour and a pointing hand while the pointer is over the text.
// Only the text itself reacts; the empty width beside it does not. Space or
// Return triggers it when it has the keyboard focus.
class SubtleResetButton : public QWidget {
    Q_OBJECT

public:
    explicit SubtleResetButton(QWidget* parent = nullptr);

    QString label() const { return m_label; }
    void setLabel(const QString& label);
    bool isHovered() const { return m_isHovered; }

    // Where the text is drawn, in widget coordinates.
    QRect textRect() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setHovered(bool hovered);
    QFont captionFont() const;

    QString m_label;
    bool m_isHovered = false;
    bool m_pressedOnText = false;
};
