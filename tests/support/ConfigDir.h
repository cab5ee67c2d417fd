#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A scratch folder for one configuration file: its path, its bytes, and the
// copies Runeboard keeps beside it.
struct ConfigDir {
    QTemporaryDir dir;

    QString path() const { return dir.filePath(QStringLiteral("runeboard.conf")); }

    void write(const QByteArray& bytes) const {
        QFile file(path());
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }

    QByteArray bytes() const {
        QFile file(path());
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    QStringList copies() const {
        return QDir(dir.path()).entryList({QStringLiteral("runeboard.conf.unreadable-*")}, QDir::Files);
    }

    QByteArray onlyCopy() const {
        const QStringList all = copies();
        QFile file(dir.filePath(all.value(0)));
        return all.size() == 1 && file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                 : QByteArray("(no single copy)");
    }
};
