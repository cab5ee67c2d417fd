#include "platform/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

// One argument of an Exec line: quoted when it holds a character desktop
// files reserve, then escaped once more as a string value.
QString execArgument(const QString& path) {
    static const QString reserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
    QString argument = path;
    argument.replace(u'%', QStringLiteral("%%"));
    if (std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return reserved.contains(c); })) {
        QString quoted;
        for (QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                quoted += u'\\';
            quoted += c;
        }
        argument = u'"' + quoted + u'"';
    }
    argument.replace(u'\\', QStringLiteral("\\\\"));
    return argument;
}

} // namespace

AutostartEntry::AutostartEntry(QString configHome)
    : m_configHome(std::move(configHome)) {}

QString AutostartEntry::filePath() const {
    QString base = m_configHome;
    if (base.isEmpty()) {
        base = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (base.isEmpty() || !QDir::isAbsolutePath(base))
            base = QDir::homePath() + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/autostart/runeboard.desktop");
}

bool AutostartEntry::isEnabled() const {
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'['))
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        else if (inMainGroup && (line == QLatin1String("Hidden=true") ||
                                 line == QLatin1String("X-GNOME-Autostart-enabled=false")))
            return false;
    }
    return true;
}

bool AutostartEntry::enable(const QString& executable, QString* error) {
    const QString text = entryText(executable);
    const QString path = filePath();
    if (text.isEmpty()) {
        *error = QStringLiteral("the program's path '%1' cannot be written in %2").arg(executable, path);
        return false;
    }
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool AutostartEntry::disable(QString* error) {
    QFile file(filePath());
    if (!file.exists() || file.remove())
        return true;
    *error = QStringLiteral("cannot remove %1: %2").arg(file.fileName(), file.errorString());
    return false;
}

QString AutostartEntry::entryText(const QString& executable) {
    const bool unwritable = !QDir::isAbsolutePath(executable) ||
                            std::any_of(executable.cbegin(), executable.cend(),
                                        [](QChar c) { return c.category() == QChar::Other_Control; });
    if (unwritable)
        return {};
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Runeboard\n"
                          "Comment=Floating keyboard of special symbols\n"
                          "Exec=%1\n"
                          "Icon=runeboard\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(execArgument(executable));
}
