#include "platform/kde/KwinFakeInputSetup.h"

#include "platform/kde/InputMethodLink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <utility>

KwinFakeInputSetup::KwinFakeInputSetup(bool lent, bool clipboard, const InputMethodLink* inputMethod,
                                       QObject* parent)
    : TypingSetup(parent)
    , m_state(!lent       ? State::Off
              : clipboard ? State::Works
                          : State::Failed)
    , m_inputMethod(inputMethod)
    , m_inputMethodChosen(inputMethodChosen()) {}

bool KwinFakeInputSetup::inputMethodChosen() const {
    return m_inputMethod && m_inputMethod->isConnected();
}

UserText KwinFakeInputSetup::note() const {
    return {m_inputMethodChosen ? QStringLiteral("kde_input_method_chosen")
                                : QStringLiteral("kde_input_method_offer")};
}

void KwinFakeInputSetup::refresh() {
    if (std::exchange(m_inputMethodChosen, inputMethodChosen()) != m_inputMethodChosen)
        Q_EMIT stateChanged();
}

UserText KwinFakeInputSetup::problem() const {
    switch (m_state) {
    case State::Works:
        return {};
    case State::Off:
    case State::Missing:
    case State::RestartNeeded:
        return {QStringLiteral("typing_kde_no_fake_input")};
    case State::Failed:
        return {QStringLiteral("kde_fake_input_failed")};
    }
    return {};
}

QString KwinFakeInputSetup::execWord(QString executable) {
    // KWin splits Exec= as a shell would; a path with spaces must stay one word.
    if (executable.contains(u' ') || executable.contains(u'"'))
        executable = u'"' +
                     executable.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\"")) +
                     u'"';
    return executable;
}

QByteArray KwinFakeInputSetup::entry(const QString& executable) {
    const QString quoted = execWord(executable);
    return QStringLiteral("[Desktop Entry]\nType=Application\nName=Runeboard\nExec=%1\nIcon=runeboard\n"
                          "NoDisplay=true\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n")
        .arg(quoted)
        .toUtf8();
}

QString KwinFakeInputSetup::entryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/applications/runeboard-kwin.desktop");
}

bool KwinFakeInputSetup::turnOn(QString* why) {
    const QString path = entryPath();
    QSaveFile file(path);
    if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly) ||
        file.write(entry(QCoreApplication::applicationFilePath())) < 0 || !file.commit()) {
        *why = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    m_state = State::RestartNeeded;
    Q_EMIT stateChanged();
    return true;
}
