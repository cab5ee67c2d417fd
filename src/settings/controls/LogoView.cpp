#include "settings/controls/LogoView.h"

#include "settings/controls/AppLogo.h"

#include <QPainter>
#include <QSvgRenderer>

LogoView::LogoView(int side, QWidget* parent)
    : QWidget(parent)
    , m_renderer(new QSvgRenderer(AppLogo::resourcePath(), this)) {
    setFixedSize(side, side);
    setAccessibleName(QStringLiteral("Runeboard"));
}

bool LogoView::hasImage() const {
    return m_renderer->isValid();
}

void LogoView::paintEvent(QPaintEvent*) {
    if (!m_renderer->isValid())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    m_renderer->render(&painter, QRectF(rect()));
}
