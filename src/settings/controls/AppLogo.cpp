#include "settings/controls/AppLogo.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// Resources of a static library are not registered unless something refers to them.
static void registerLogoResource() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(logo);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace AppLogo {

QString resourcePath() {
    registerLogoResource();
    return QStringLiteral(":/runeboard/logo.svg");
}

QIcon icon() {
    QSvgRenderer renderer(resourcePath());
    if (!renderer.isValid())
        return {};
    QIcon result;
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace AppLogo
