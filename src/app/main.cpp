#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("runeboard"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RUNEBOARD_VERSION));
    std::printf("Runeboard %s\n", RUNEBOARD_VERSION);
    return 0;
}
