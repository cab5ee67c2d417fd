// Saves the screen, or one window, of the current display as PNG.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: rb-screenshot OUTPUT.png [WINDOW-ID]\n", stderr);
        return 2;
    }
    const WId window = argc > 2 ? QByteArray(argv[2]).toULongLong(nullptr, 0) : 0;
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(window);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "rb-screenshot: could not grab or save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
