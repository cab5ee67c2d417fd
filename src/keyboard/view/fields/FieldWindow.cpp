#include "FieldWindow.h"

#include "keyboard/view/painting/BevelBackground.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace {
// Wide enough for a set's name; the add field keeps to seven characters anyway.
constexpr int fieldKeys = 8;
} // namespace

FieldWindow::FieldWindow(QWidget& owner, const QString& title)
    // A dialog, and of a fixed size: tiling window managers float it instead of giving it a tile.
    : QWidget(&owner, Qt::Dialog) {
    setWindowTitle(title);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FieldWindow::hold(QLineEdit& field, const KeyboardMetrics& metrics) {
    m_field = &field;
    m_metrics = metrics;
    const int padding = int(metrics.innerPadding);
    const QSize fieldSize(int(fieldKeys * metrics.keySize), int(metrics.keySize));
    setFixedSize(fieldSize + QSize(2 * padding, 2 * padding));
    field.setGeometry(QRect(QPoint(padding, padding), fieldSize));
    update();
}

void FieldWindow::showBeside(const QRect& anchor) {
    const QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QPoint at(anchor.center().x() - width() / 2, anchor.bottom() + 1);
    if (screen) {
        const QRect room = screen->availableGeometry();
        if (at.y() + height() > room.bottom())
            at.setY(anchor.top() - height());
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width())));
        at.setY(std::max(at.y(), room.top()));
    }
    move(at);
    show();
}

void FieldWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), BevelBackground::topColor(BevelBackground::Face::Default));
    if (!m_field)
        return;
    BevelBackground face{m_metrics.keyRadius, m_metrics.bevelWidth};
    face.isCustom = true;
    face.paintFace(painter, m_field->geometry());
}

void FieldWindow::closeEvent(QCloseEvent* event) {
    // Closing cancels the field, which then takes the window away.
    event->ignore();
    Q_EMIT closeRequested();
}
