#include "CandidateStrip.h"

#include "keyboard/view/painting/BevelBackground.h"
#include "keyboard/view/painting/KeyboardPainter.h"

#include <QGuiApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>

#include <algorithm>

CandidateStrip::CandidateStrip(QWidget* owner)
    // A tool tip's window: no window manager frames, focuses or moves it.
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                         Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Runeboard Candidates"));
}

QRectF CandidateStrip::keyRect(int index, const KeyboardMetrics& metrics) {
    const qreal step = metrics.keySize + metrics.keySpacing;
    return QRectF(metrics.innerPadding + (index % perRow) * step,
                  metrics.innerPadding + (index / perRow) * step, metrics.keySize, metrics.keySize);
}

QSize CandidateStrip::windowSize(int count, const KeyboardMetrics& metrics) {
    const int columns = std::clamp(count, 1, perRow);
    const int rows = std::max(1, (std::min(count, maxCandidates) + perRow - 1) / perRow);
    const qreal step = metrics.keySize + metrics.keySpacing;
    return QSize(qRound(2 * metrics.innerPadding + columns * step - metrics.keySpacing),
                 qRound(2 * metrics.innerPadding + rows * step - metrics.keySpacing));
}

void CandidateStrip::setCandidates(const QList<Candidate>& candidates, const KeyboardMetrics& metrics) {
    m_candidates = candidates.mid(0, maxCandidates);
    m_metrics = metrics;
    m_pressed = -1;
    setFixedSize(windowSize(int(m_candidates.size()), metrics));
    update();
}

void CandidateStrip::showBeside(const QRect& anchor) {
    const QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QPoint at(anchor.left(), anchor.top() - height());
    if (screen) {
        const QRect room = screen->availableGeometry();
        if (at.y() < room.top())
            at.setY(anchor.bottom() + 1);
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width())));
    }
    move(at);
    show();
    raise();
}

int CandidateStrip::indexAt(const QPointF& position) const {
    for (int i = 0; i < m_candidates.size(); ++i) {
        if (keyRect(i, m_metrics).contains(position))
            return i;
    }
    return -1;
}

void CandidateStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), BevelBackground::topColor(BevelBackground::Face::Default));
    painter.setFont(KeyboardPainter::font(m_metrics.fontSize, 400, logicalDpiY()));
    for (int i = 0; i < m_candidates.size(); ++i) {
        const QRectF key = keyRect(i, m_metrics);
        BevelBackground face{m_metrics.keyRadius, m_metrics.bevelWidth};
        face.isCustom = i == m_pressed;
        face.paintFace(painter, key);
        painter.setPen(Qt::white);
        painter.drawText(key, Qt::AlignCenter, m_candidates.at(i).symbol);
    }
}

void CandidateStrip::mousePressEvent(QMouseEvent* event) {
    m_pressed = indexAt(event->position());
    update();
    event->accept();
}

void CandidateStrip::mouseReleaseEvent(QMouseEvent* event) {
    // A press and release on the same key chooses it, as with the panel's keys.
    const int released = indexAt(event->position());
    const bool chose = released >= 0 && released == m_pressed;
    m_pressed = -1;
    update();
    event->accept();
    if (chose)
        Q_EMIT chosen(m_candidates.at(released).symbol);
}

bool CandidateStrip::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = indexAt(help->pos());
        if (index >= 0)
            QToolTip::showText(help->globalPos(), m_candidates.at(index).name, this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
