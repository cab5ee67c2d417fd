#pragma once

#include "keyboard/view/painting/KeyboardMetrics.h"

#include <QList>
#include <QWidget>

// The symbols whose names match what is typed into the add field, as a row or
// two of keys in a small window of their own beside the panel. The window never
// takes the focus, so typing goes on in the field while it is shown; a click
// on a key chooses its symbol. Each key's name shows as its tool tip.
class CandidateStrip : public QWidget {
    Q_OBJECT
public:
    struct Candidate {
        QString symbol;
        QString name;
    };
    static constexpr int perRow = 8;
    static constexpr int maxCandidates = 2 * perRow;

    explicit CandidateStrip(QWidget* owner = nullptr);

    // Keeps the first maxCandidates, sized for the keyboard's metrics.
    void setCandidates(const QList<Candidate>& candidates, const KeyboardMetrics& metrics);
    const QList<Candidate>& candidates() const { return m_candidates; }
    // Shows the window above `anchor` (global coordinates), or below it where there is no room.
    void showBeside(const QRect& anchor);

    // Where the key of candidate `index` lies in the window, and its size for `count` candidates.
    static QRectF keyRect(int index, const KeyboardMetrics& metrics);
    static QSize windowSize(int count, const KeyboardMetrics& metrics);

Q_SIGNALS:
    void chosen(const QString& symbol);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    int indexAt(const QPointF& position) const;

    QList<Candidate> m_candidates;
    KeyboardMetrics m_metrics = KeyboardMetrics::forSize(KeyboardSize::Compact);
    int m_pressed = -1;
};
