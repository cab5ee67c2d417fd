#include "platform/AutostartEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <climits>
#include <unistd.h>

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

// A path for a one-line message: control characters, and the bytes of a
// path that is not UTF-8, as \xNN.
QString shownPath(const QByteArray& path) {
    const auto hex = [](uint c) { return QStringLiteral("\\x%1").arg(c, 2, 16, QChar(u'0')); };
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(path);
    if (decoder.hasError()) {
        text.clear();
        for (const char c : path)
            text += uchar(c) < 0x80 ? QString(QLatin1Char(c)) : hex(uchar(c));
    }
    QString shown;
    for (const QChar c : text)
        shown += c.unicode() < 0x20 || c.unicode() == 0x7F ? hex(c.unicode()) : QString(c);
    return shown;
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

QByteArray AutostartEntry::runningProgram() {
    char buffer[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (size <= 0 || size == ssize_t(sizeof buffer))
        return QFile::encodeName(QCoreApplication::applicationFilePath());
    QByteArray path(buffer, size);
    // Replaced by an update while running: the new program is at the same place.
    const QByteArray deleted(" (deleted)");
    if (path.endsWith(deleted) && ::access(path.chopped(deleted.size()).constData(), X_OK) == 0)
        path.chop(deleted.size());
    return path;
}

bool AutostartEntry::enable(const QByteArray& executable, QString* error) {
    const QString path = filePath();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString program = decoder(executable);
    const QString text = decoder.hasError() ? QString() : entryText(program);
    if (text.isEmpty()) {
        if (executable.isEmpty())
            *error = QStringLiteral("the path of the running program cannot be found");
        else if (decoder.hasError())
            *error = QStringLiteral("the program's path %1 is not UTF-8, and %2 can hold only UTF-8 text")
                         .arg(shownPath(executable), path);
        else if (!QDir::isAbsolutePath(program))
            *error = QStringLiteral("the program's path %1 is not absolute").arg(shownPath(executable));
        else
            *error = QStringLiteral("the program's path %1 holds a control character, which the Exec line "
                                    "of %2 cannot carry")
                         .arg(shownPath(executable), path);
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
