#include "EditorField.h"

#include "keyboard/view/painting/KeyboardPainter.h"

#include <QKeyEvent>

EditorField::EditorField(QWidget* parent)
    : QLineEdit(parent) {
    setFrame(false);
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setTextMargins(6, 0, 6, 0);
    setStyleSheet(
        QStringLiteral("QLineEdit { background: transparent; border: none; color: white;"
                       " selection-background-color: rgba(89, 140, 191, 200); selection-color: white; }"));
    QPalette p = palette();
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(255, 255, 255, 110));
    setPalette(p);
    setContextMenuPolicy(Qt::NoContextMenu);
}

void EditorField::setPixelSize(qreal pixelSize) {
    setFont(KeyboardPainter::font(pixelSize, 400, logicalDpiY()));
}

void EditorField::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT confirmed();
        event->accept();
        return;
    case Qt::Key_Escape:
        Q_EMIT cancelled();
        event->accept();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}
