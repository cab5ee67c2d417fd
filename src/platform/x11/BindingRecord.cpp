#include "platform/x11/BindingRecord.h"

#include "platform/DisplayName.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <signal.h>

namespace {
const QString filePrefix = QStringLiteral("keymap-");
}

BindingRecord::BindingRecord(QString directory, QString display, qint64 pid)
    : m_directory(std::move(directory))
    , m_display(normalizedDisplay(display))
    , m_pid(pid)
    , m_path(QDir(m_directory).filePath(filePrefix + QString::number(pid) + QStringLiteral(".json"))) {}

QString BindingRecord::defaultDirectory() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
        .filePath(QStringLiteral("runeboard"));
}

QString BindingRecord::normalizedDisplay(const QString& display) {
    const std::optional<DisplayName> name = DisplayName::parse(display);
    return name ? name->withoutScreen() : display;
}

bool BindingRecord::processIsRunning(qint64 pid, const QString& program) {
    if (pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno != EPERM))
        return false;
    const QString running = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    if (running.isEmpty() || program.isEmpty())
        return true; // cannot tell; better to leave its keys alone
    return QFileInfo(running).fileName() == QFileInfo(program).fileName();
}

bool BindingRecord::write(const Bindings& bindings) {
    if (bindings.isEmpty()) {
        remove();
        return true;
    }
    QJsonObject keycodes;
    for (auto it = bindings.cbegin(); it != bindings.cend(); ++it) {
        QJsonArray keysyms;
        for (quint32 keysym : *it)
            keysyms.append(qint64(keysym));
        keycodes.insert(QString::number(it.key()), keysyms);
    }
    const QJsonObject root{{QStringLiteral("display"), m_display},
                           {QStringLiteral("pid"), m_pid},
                           {QStringLiteral("program"), QCoreApplication::applicationFilePath()},
                           {QStringLiteral("keycodes"), keycodes}};
    if (!QDir().mkpath(m_directory)) {
        m_error = QStringLiteral("cannot create %1").arg(m_directory);
        return false;
    }
    QFile::setPermissions(m_directory,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) < 0 || !file.commit()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
        return false;
    }
    return true;
}

void BindingRecord::remove() {
    QFile::remove(m_path);
}

QList<BindingRecord::Leftover>
BindingRecord::leftovers(const std::function<bool(qint64, const QString&)>& isRunning) const {
    QList<Leftover> found;
    const QDir dir(m_directory);
    const QStringList names = dir.entryList({filePrefix + QStringLiteral("*.json")}, QDir::Files);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        if (path == m_path)
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
        bool numeric = false;
        const qint64 pid = name.mid(filePrefix.size()).chopped(5).toLongLong(&numeric);
        if (!numeric || root.value(QStringLiteral("display")).toString() != m_display ||
            isRunning(pid, root.value(QStringLiteral("program")).toString()))
            continue;
        Leftover leftover{path, pid, {}};
        const QJsonObject keycodes = root.value(QStringLiteral("keycodes")).toObject();
        for (auto it = keycodes.begin(); it != keycodes.end(); ++it) {
            const int keycode = it.key().toInt();
            if (keycode < 8 || keycode > 255)
                continue;
            QList<quint32> keysyms;
            for (const QJsonValue& value : it.value().toArray()) {
                const qint64 keysym = value.toInteger(-1);
                if (keysym > 0 && keysym <= 0x1fffffff)
                    keysyms.append(quint32(keysym));
            }
            if (!keysyms.isEmpty())
                leftover.bindings.insert(quint8(keycode), keysyms);
        }
        found.append(leftover);
    }
    return found;
}

QList<quint8> BindingRecord::keycodesToClear(const Leftover& leftover, const KeymapSnapshot& keymap) {
    QList<quint8> keycodes;
    for (auto it = leftover.bindings.cbegin(); it != leftover.bindings.cend(); ++it) {
        const quint8 keycode = it.key();
        if (std::any_of(it->cbegin(), it->cend(),
                        [&](quint32 keysym) { return keymap.holdsOnly(keycode, keysym); }))
            keycodes.append(keycode);
    }
    return keycodes;
}
