// A Qt line edit that writes its whole text to a file at every change, so an
// end-to-end test can compare what a Qt program received with what was typed.
#include <QApplication>
#include <QLineEdit>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fputs("usage: rb-line-edit-receiver OUTPUT-FILE WINDOW-TITLE\n", stderr);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const auto save = [path](const QString& text) {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(text.toUtf8());
            file.commit();
        }
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
