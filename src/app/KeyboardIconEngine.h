#pragma once

#include <QIcon>
#include <QIconEngine>

// The tray's keyboard picture, drawn with the painter at whatever size and
// pixel density the tray asks for. Drawing it needs no image plug-in and no
// file to read at start.
class KeyboardIconEngine : public QIconEngine {
public:
    // The desktop theme's "input-keyboard" where it has one, else this drawing.
    static QIcon trayIcon();

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    // On a transparent ground (the engine's own default leaves the ground unset).
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;
    // The usual icon sizes, for trays that take a list of pictures instead of drawing it themselves.
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
};
