// A Qt line edit that writes its whole text to a file at every change, so an
// end-to-end test can compare what a Qt program received with what was typed.
#include <QApplication>
#include <QFile>
#include <QLineEdit>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fputs("usage: rb-line-edit-receiver OUTPUT-FILE WINDOW-TITLE\n", stderr);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const auto save = [path](const QString& text) {
        // Renamed into place, so a reader never sees half a text, but not synced to the disk:
        // that would add milliseconds to every figure measured through it.
        QFile file(path + QStringLiteral(".new"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        const bool written = file.write(text.toUtf8()) >= 0 && file.flush();
        file.close();
        if (written)
            std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData());
    };
    QLineEdit edit;
    edit.setWindowTitle(QString::fromLocal8Bit(argv[2]));
    edit.setMinimumWidth(600);
    QObject::connect(&edit, &QLineEdit::textChanged, save);
    edit.move(40, 300);
    edit.show();
    save({});
    return app.exec();
}
