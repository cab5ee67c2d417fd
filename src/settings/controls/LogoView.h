#pragma once

#include <QWidget>

class QSvgRenderer;

// The logo, drawn from its vector source at the screen's own resolution.
// Shows nothing when the image cannot be read.
class LogoView : public QWidget {
    Q_OBJECT

public:
    explicit LogoView(int side, QWidget* parent = nullptr);

    bool hasImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSvgRenderer* m_renderer = nullptr;
};
