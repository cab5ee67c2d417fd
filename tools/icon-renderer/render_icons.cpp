// Renders an SVG into square PNGs for the icon theme: one file per size,
// OUTPUT_DIR/<size>x<size>/apps/<name>.png, drawn by Qt SVG so that the build
// needs nothing beyond Qt.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[]) {
    // No display is needed, nor wanted on a build machine.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 5) {
        std::fprintf(stderr, "usage: rb-icon-renderer SVG OUTPUT_DIR NAME SIZE...\n");
        return 2;
    }
    QSvgRenderer svg(arguments.at(1));
    if (!svg.isValid()) {
        std::fprintf(stderr, "rb-icon-renderer: cannot read %s\n", qPrintable(arguments.at(1)));
        return 1;
    }
    const QDir output(arguments.at(2));
    for (const QString& sizeText : arguments.mid(4)) {
        const int size = sizeText.toInt();
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = output.filePath(folder + u'/' + arguments.at(3) + QStringLiteral(".png"));
        if (size <= 0 || !output.mkpath(folder) || !image.save(path, "PNG")) {
            std::fprintf(stderr, "rb-icon-renderer: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
