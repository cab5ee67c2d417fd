#pragma once

#include <QStringList>
#include <QWidget>

// A row of mutually exclusive segments in one rounded frame. `activated` is
// emitted only for the user's choices (click, arrow keys), never for
// setCurrentIndex, so owners can defer their writes.
class SegmentedControl : public QWidget {
    Q_OBJECT

public:
    explicit SegmentedControl(QWidget* parent = nullptr);

    void setSegments(const QStringList& labels);
    QStringList segments() const { return m_labels; }
    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);

    QRect segmentRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void activated(int index);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int segmentAt(const QPoint& position) const;
    void choose(int index);

    QStringList m_labels;
    int m_current = -1;
    int m_pressed = -1;
    int m_hovered = -1;
    bool m_keyboardFocus = false;
};
