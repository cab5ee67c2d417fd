#include "platform/kde/KwinInputMethodEntry.h"

#include "platform/kde/KwinFakeInputSetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
const QString fileName = QStringLiteral("applications/runeboard-input-method.desktop");
} // namespace

namespace KwinInputMethodEntry {

QByteArray entry(const QString& executable) {
    return QStringLiteral(
               "[Desktop Entry]\nType=Application\nName=Runeboard\n"
               "Comment=Symbols from Runeboard's floating keyboard, typed into text fields\n"
               "Exec=%1 --input-method\nIcon=runeboard\nNoDisplay=true\n"
               "X-KDE-Wayland-VirtualKeyboard=true\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n")
        .arg(KwinFakeInputSetup::execWord(executable))
        .toUtf8();
}

QString userPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' + fileName;
}

bool startsExecutable(const QByteArray& entry, const QString& executable) {
    const QList<QByteArray> lines = entry.split('\n');
    const QByteArray exec = "Exec=" + KwinFakeInputSetup::execWord(executable).toUtf8() + " --input-method";
    return lines.contains(exec) && lines.contains("X-KDE-Wayland-VirtualKeyboard=true") &&
           lines.contains("X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input");
}

bool ensureFor(const QString& executable, QString* why) {
    // The first one found is the one System Settings shows (the package's, translated, for its binary).
    const QString found = QStandardPaths::locate(QStandardPaths::GenericDataLocation, fileName);
    if (QFile file(found);
        !found.isEmpty() && file.open(QIODevice::ReadOnly) && startsExecutable(file.readAll(), executable))
        return true;
    const QByteArray wanted = entry(executable);
    const QString path = userPath();
    QSaveFile file(path);
    if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly) ||
        file.write(wanted) < 0 || !file.commit()) {
        *why = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace KwinInputMethodEntry
